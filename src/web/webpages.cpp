#include "web/webpages.h"

#include "form/formlayout.h"

namespace {

QString page(const QString& unitName, const QString& title, const QString& body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                          "<title>%1</title><link rel=\"stylesheet\" href=\"/style.css\"></head>\n"
                          "<body><main><header><h1>%2</h1><p class=\"sub\">%3</p></header>\n%4</main></body></html>\n")
        .arg(html(title + QStringLiteral(" - ") + unitName), html(unitName), html(title), body);
}

// How a rule code helps a phone show the right keyboard; the code itself is
// shown to the desks only, as at the add page, and enforces nothing.
QString keyboardFor(const QString& rule)
{
    const QString code = rule.trimmed().toLower();
    if (code.startsWith(QLatin1Char('n')))
        return QStringLiteral(" inputmode=\"numeric\"");
    if (code == QLatin1String("m") || code == QLatin1String("p"))
        return QStringLiteral(" inputmode=\"tel\"");
    if (code == QLatin1String("e"))
        return QStringLiteral(" inputmode=\"email\"");
    if (code == QLatin1String("url"))
        return QStringLiteral(" inputmode=\"url\"");
    return QString();
}

QString requiredMark(const FormItem& item)
{
    return item.bt == 1 ? QStringLiteral("<span class=\"req\" aria-hidden=\"true\">*</span>") : QString();
}

QString fieldId(const FormItem& item, int option = 0)
{
    return QStringLiteral("f-") + html(item.zd) + (option > 0 ? QLatin1Char('-') + QString::number(option) : QString());
}

QString itemField(const WebItem& webItem, const QStringList& entered, const QString& problem)
{
    const FormItem& item = webItem.item;
    const QString name = html(item.zd);
    const QString problemId = QStringLiteral("e-") + name;
    const QString described = problem.isEmpty() ? QString()
                                                : QStringLiteral(" aria-invalid=\"true\" aria-describedby=\"%1\"").arg(problemId);
    const QString requiredAttribute = item.bt == 1 ? QStringLiteral(" aria-required=\"true\"") : QString();
    const QString hint = item.ts.isEmpty() ? QString() : QStringLiteral(" placeholder=\"%1\"").arg(html(item.ts));
    QString control;
    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText: {
        const QString value = entered.isEmpty() ? item.val : entered.value(0);
        const QString label = QStringLiteral("<label for=\"%1\">%2%3</label>").arg(fieldId(item), requiredMark(item), html(item.nam));
        if (item.lx == ItemType::MultiLineText)
            control = label + QStringLiteral("<textarea id=\"%1\" name=\"%2\" rows=\"4\"%3%4%5>%6</textarea>")
                                  .arg(fieldId(item), name, hint, requiredAttribute, described, html(value));
        else
            control = label + QStringLiteral("<input type=\"text\" id=\"%1\" name=\"%2\" value=\"%3\"%4%5%6%7 data-rule=\"%8\">")
                                  .arg(fieldId(item), name, html(value), hint, keyboardFor(item.yz), requiredAttribute,
                                       described, html(item.yz));
        break;
    }
    case ItemType::Radio:
    case ItemType::Check: {
        const QString kind = item.lx == ItemType::Radio ? QStringLiteral("radio") : QStringLiteral("checkbox");
        QString options;
        for (int k = 0; k < webItem.choices.size(); ++k) {
            const WebChoice& choice = webItem.choices.at(k);
            const bool chosen = entered.contains(choice.value);
            options += QStringLiteral("<label class=\"option\" for=\"%1\"><input type=\"%2\" id=\"%1\" name=\"%3\" value=\"%4\"%5> %6</label>")
                           .arg(fieldId(item, k + 1), kind, name, html(choice.value),
                                chosen ? QStringLiteral(" checked") : QString(), html(choice.caption));
        }
        // A group of radio buttons can say it is required; check boxes cannot.
        const QString group = item.lx == ItemType::Radio ? QStringLiteral(" role=\"radiogroup\"") + requiredAttribute : QString();
        control = QStringLiteral("<fieldset%1%2><legend>%3%4</legend>%5</fieldset>")
                      .arg(group, described, requiredMark(item), html(item.nam), options);
        break;
    }
    case ItemType::List: {
        QString options = QStringLiteral("<option value=\"\">请选择</option>");
        QString group;
        for (const WebChoice& choice : webItem.choices) {
            if (choice.group != group) {
                options += (group.isEmpty() ? QString() : QStringLiteral("</optgroup>"))
                           + (choice.group.isEmpty() ? QString() : QStringLiteral("<optgroup label=\"%1\">").arg(html(choice.group)));
                group = choice.group;
            }
            options += QStringLiteral("<option value=\"%1\"%2>%3</option>")
                           .arg(html(choice.value), entered.contains(choice.value) ? QStringLiteral(" selected") : QString(),
                                html(choice.caption));
        }
        if (!group.isEmpty())
            options += QStringLiteral("</optgroup>");
        control = QStringLiteral("<label for=\"%1\">%2%3</label><select id=\"%1\" name=\"%4\"%5%6>%7</select>")
                      .arg(fieldId(item), requiredMark(item), html(item.nam), name, requiredAttribute, described, options);
        break;
    }
    default:
        return QString();
    }
    const QString problemText =
        problem.isEmpty() ? QString() : QStringLiteral("<p class=\"problem\" id=\"%1\">%2</p>").arg(problemId, html(problem));
    return QStringLiteral("<div class=\"field%1\">%2%3</div>\n")
        .arg(problem.isEmpty() ? QString() : QStringLiteral(" bad"), control, problemText);
}

QString valueRows(const QVector<QPair<QString, QString>>& values)
{
    QString rows;
    for (const auto& [caption, value] : values)
        rows += QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>\n").arg(html(caption), html(value));
    return rows;
}

} // namespace

QString html(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QByteArray formPage(const FormPageView& view)
{
    QString body;
    if (!view.notice.isEmpty())
        body += QStringLiteral("<p class=\"notice\" role=\"alert\">%1</p>\n").arg(html(view.notice));
    body += QStringLiteral("<form method=\"post\" action=\"/\" enctype=\"multipart/form-data\" novalidate>\n"
                           "<input type=\"hidden\" name=\"csrf\" value=\"%1\">\n")
                .arg(html(QString::fromLatin1(view.token)));
    for (const WebItem& item : view.form.items)
        body += itemField(item, view.entered.value(item.item.zd), view.problems.value(item.item.zd));
    if (view.form.photo) {
        const QString problem = view.problems.value(QStringLiteral("photo"));
        body += QStringLiteral("<div class=\"field%1\"><label for=\"f-photo\">照片</label>"
                               "<input type=\"file\" id=\"f-photo\" name=\"photo\" accept=\"image/jpeg,image/png\"%2>"
                               "<p class=\"hint\">JPG 或 PNG 图片，不超过 5 MB</p>%3</div>\n")
                    .arg(problem.isEmpty() ? QString() : QStringLiteral(" bad"),
                         problem.isEmpty() ? QString() : QStringLiteral(" aria-invalid=\"true\" aria-describedby=\"e-photo\""),
                         problem.isEmpty() ? QString()
                                           : QStringLiteral("<p class=\"problem\" id=\"e-photo\">%1</p>").arg(html(problem)));
    }
    body += QStringLiteral("<button type=\"submit\">提交报名</button>\n</form>\n"
                           "<p class=\"links\"><a href=\"/status\">查询报名状态</a></p>\n");
    return page(view.form.unitName, QStringLiteral("网上报名"), body).toUtf8();
}

QByteArray receiptPage(const ReceiptView& view)
{
    const QString body =
        QStringLiteral("<section class=\"receipt\"><p class=\"done\">报名已提交，等待审核。请记下报名号，查询状态时需要它。</p>\n"
                       "<p class=\"number\">报名号 <strong>%1</strong></p>\n"
                       "<figure class=\"qr\" aria-label=\"报名号 %1 的二维码\">%2</figure>\n"
                       "<table>\n%3<tr><th scope=\"row\">审核状态</th><td>%4</td></tr>\n"
                       "<tr><th scope=\"row\">缴费状态</th><td>%5</td></tr>\n</table>\n"
                       "<p class=\"hint noprint\">可用浏览器的打印功能打印本页。</p></section>\n"
                       "<p class=\"links noprint\"><a href=\"/status\">查询报名状态</a> · <a href=\"/\">再报一名</a></p>\n")
            .arg(QString::number(view.number), view.qrSvg, valueRows(view.values), html(view.review), html(view.payment));
    return page(view.unitName, QStringLiteral("报名回执"), body).toUtf8();
}

QByteArray statusPage(const StatusView& view)
{
    QString body;
    if (!view.problem.isEmpty())
        body += QStringLiteral("<p class=\"notice\" role=\"alert\">%1</p>\n").arg(html(view.problem));
    if (view.found)
        body += QStringLiteral("<table class=\"status\"><tr><th scope=\"row\">报名号</th><td>%1</td></tr>"
                               "<tr><th scope=\"row\">审核状态</th><td>%2</td></tr>"
                               "<tr><th scope=\"row\">缴费状态</th><td>%3</td></tr></table>\n")
                    .arg(html(view.number), html(view.review), html(view.payment));
    body += QStringLiteral("<form method=\"post\" action=\"/status\" novalidate>\n"
                           "<input type=\"hidden\" name=\"csrf\" value=\"%1\">\n"
                           "<div class=\"field\"><label for=\"f-number\">报名号</label>"
                           "<input type=\"text\" id=\"f-number\" name=\"number\" inputmode=\"numeric\" value=\"%2\"></div>\n"
                           "<div class=\"field\"><label for=\"f-proof\">证件号码或联系电话</label>"
                           "<input type=\"text\" id=\"f-proof\" name=\"proof\" value=\"%3\"></div>\n"
                           "<button type=\"submit\">查询</button>\n</form>\n"
                           "<p class=\"links\"><a href=\"/\">网上报名</a></p>\n")
                .arg(html(QString::fromLatin1(view.token)), html(view.number), html(view.proof));
    return page(view.unitName, QStringLiteral("报名状态查询"), body).toUtf8();
}

QByteArray messagePage(const QString& unitName, const QString& title, const QString& text)
{
    return page(unitName, title,
                QStringLiteral("<p class=\"notice\" role=\"alert\">%1</p>\n<p class=\"links\"><a href=\"/\">返回网上报名</a></p>\n")
                    .arg(html(text)))
        .toUtf8();
}

QByteArray styleSheet()
{
    return QByteArrayLiteral(
        "*{box-sizing:border-box}\n"
        "body{margin:0;font:16px/1.5 \"Noto Sans CJK SC\",\"WenQuanYi Zen Hei\",sans-serif;color:#1f2328;background:#f3f5f8}\n"
        "main{max-width:40rem;margin:0 auto;padding:1rem;background:#fff;min-height:100vh}\n"
        "header h1{font-size:1.4rem;margin:.25rem 0 0;color:#1d4f91}\n"
        ".sub{margin:0 0 1rem;color:#57606a}\n"
        ".field{margin:0 0 1rem}\n"
        "label,legend{display:block;font-weight:600;margin:0 0 .3rem}\n"
        "fieldset{border:0;margin:0;padding:0}\n"
        "label.option{display:inline-flex;align-items:center;gap:.35rem;font-weight:400;margin:0 1rem .4rem 0;min-height:2.75rem}\n"
        "input[type=text],textarea,select{width:100%;font:inherit;padding:.6rem;border:1px solid #8c959f;border-radius:6px;background:#fff}\n"
        "input[type=radio],input[type=checkbox]{width:1.3rem;height:1.3rem}\n"
        "input:focus,textarea:focus,select:focus,button:focus{outline:3px solid #6ea8fe;outline-offset:1px}\n"
        ".req{color:#b42318;margin-right:.15rem}\n"
        ".bad input,.bad textarea,.bad select{border-color:#b42318}\n"
        ".problem{color:#b42318;margin:.3rem 0 0;font-weight:600}\n"
        ".hint{color:#57606a;font-size:.9rem;margin:.3rem 0 0}\n"
        ".notice{background:#fff4e5;border-left:4px solid #d97706;padding:.6rem .8rem}\n"
        "button{width:100%;font:inherit;font-weight:600;padding:.8rem;border:0;border-radius:6px;background:#1d4f91;color:#fff}\n"
        ".links{text-align:center;margin-top:1.2rem}\n"
        "a{color:#1d4f91}\n"
        ".number{font-size:1.2rem}.number strong{font-size:1.6rem;color:#1d4f91}\n"
        ".qr{margin:.5rem 0 1rem}.qr svg{width:12rem;height:12rem}\n"
        "table{border-collapse:collapse;width:100%}\n"
        ".status{margin-bottom:1.5rem}\n"
        "th,td{text-align:left;vertical-align:top;padding:.4rem .3rem;border-bottom:1px solid #d0d7de}\n"
        "th{width:7.5rem;color:#57606a;font-weight:600}\n"
        "@media print{body{background:#fff}main{max-width:none;padding:0}.noprint{display:none}}\n");
}
