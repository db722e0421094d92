#include "browsefixture.h"

#include <sqlite3.h>

class StatusChangeTest : public QObject {
    Q_OBJECT
private slots:
    void reviewStateOfTickedRowsShowsOnTheSamePage()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(12));
        f.page->pageSizeEditor()->setText(QStringLiteral("5"));
        f.page->enter(false);
        f.find<QPushButton>("按钮_下一页")->click();
        QCOMPARE(f.label(), QStringLiteral("2/3  Tol:12"));
        f.tick({1, 4});
        const int second = f.rowId(1);
        const int fifth = f.rowId(4);

        f.chooseStatus(QStringLiteral("审核:未通过×"));
        QCOMPARE(f.result, QStringLiteral("修改成功"));
        QCOMPARE(f.label(), QStringLiteral("2/3  Tol:12"));
        QCOMPARE(f.cell(0, 0), QStringLiteral("6"));
        const int review = f.column(QStringLiteral("审核状态"));
        const QStringList shown{f.cell(0, review), f.cell(1, review), f.cell(2, review), f.cell(3, review), f.cell(4, review)};
        QCOMPARE(shown, QStringList({"待审核", "审核未通过", "待审核", "待审核", "审核未通过"}));
        QVERIFY(f.page->tickedIds().isEmpty());
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where sh=-1 and id in (%1,%2)").arg(second).arg(fifth)),
                 QStringLiteral("2"));
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where sh=-1")), QStringLiteral("2"));

        f.tick({1});
        f.chooseStatus(QStringLiteral("缴费:通过√"));
        f.tick({2});
        // Choosing the entry on show again applies it to the rows now ticked.
        f.chooseStatus(QStringLiteral("缴费:通过√"));
        QCOMPARE(f.value(QStringLiteral("select fk from bmb where id=%1").arg(second)), QStringLiteral("1"));
        QCOMPARE(f.cell(1, f.column(QStringLiteral("付款状态"))), QStringLiteral("已缴费"));
        QCOMPARE(f.cell(2, f.column(QStringLiteral("付款状态"))), QStringLiteral("已缴费"));
        f.tick({1});
        f.chooseStatus(QStringLiteral("缴费:待审核≡"));
        QCOMPARE(f.cell(1, f.column(QStringLiteral("付款状态"))), QStringLiteral("待缴费"));
        QVERIFY(f.messages.messages().isEmpty());
    }

    void nothingTickedOrNothingToChange()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        f.page->enter(false);
        f.chooseStatus(QStringLiteral("审核:通过√"));
        QCOMPARE(f.messages.texts(), QStringList({QStringLiteral("请勾选待修改项目")}));
        QCOMPARE(f.messages.messages().at(0).style, 16);

        f.messages.clear();
        f.tick({0, 2});
        f.chooseStatus(QStringLiteral("不修改状态"));
        QVERIFY(f.messages.messages().isEmpty());
        QVERIFY(f.result.isEmpty());
        QCOMPARE(f.page->tickedIds().size(), 2);
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where sh<>0 or fk<>0")), QStringLiteral("0"));

        // Nothing ticked: the recycle bin and deletion do nothing at all.
        f.page->clearChecks();
        f.find<QPushButton>("按钮_信息浏览_删除")->click();
        f.messages.setAnswer(AnswerYes);
        f.find<QPushButton>("按钮_信息浏览_永久删除")->click();
        QCOMPARE(f.messages.texts(), QStringList({QStringLiteral("是否永久删除您选择的数据")}));
        QVERIFY(f.result.isEmpty());
        QCOMPARE(f.page->rowCount(), 3);
    }

    void failedStatementsReportTheirFailure()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        f.page->enter(false);
        // A trigger body holds a semicolon, so it goes to the engine directly.
        if (f.server) {
            PgSession session(f.server->connectionString());
            QVERIFY(session.run(QStringLiteral("create function refuse() returns trigger language plpgsql as "
                                               "$$ begin raise exception 'locked by test'; end $$")).ok);
            QVERIFY(session.run(QStringLiteral("create trigger refuse before update on bmb for each row "
                                               "execute function refuse()")).ok);
        } else {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(f.dir.databasePath().toUtf8().constData(), &db), SQLITE_OK);
            const int created = sqlite3_exec(
                db, "create trigger refuse before update on bmb begin select raise(abort, 'locked by test'); end",
                nullptr, nullptr, nullptr);
            sqlite3_close(db);
            QCOMPARE(created, SQLITE_OK);
        }
        f.tick({0});
        f.chooseStatus(QStringLiteral("审核:通过√"));
        QCOMPARE(f.result, QStringLiteral("修改失败"));
        QCOMPARE(f.messages.messages().size(), 1);
        QVERIFY(f.messages.messages().at(0).text.contains(QStringLiteral("locked by test")));
        QCOMPARE(f.messages.messages().at(0).style, 16);
        QCOMPARE(f.page->tickedIds().size(), 1);

        f.find<QPushButton>("按钮_信息浏览_删除")->click();
        QCOMPARE(f.result, QStringLiteral("删除失败"));
        QCOMPARE(f.page->rowCount(), 2);
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where status=1")), QStringLiteral("3"));
        f.search();
        QCOMPARE(f.page->rowCount(), 3);
    }

    void recycleBinAndBackAgain()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        f.page->enter(false);
        const int kept = f.rowId(1);
        f.tick({0, 2});
        f.find<QPushButton>("按钮_信息浏览_删除")->click();
        QCOMPARE(f.result, QStringLiteral("删除成功"));
        QCOMPARE(f.page->rowCount(), 1);
        QCOMPARE(f.rowId(0), kept);
        // The page is not read again: its label and numbers stay.
        QCOMPARE(f.label(), QStringLiteral("1/1  Tol:3"));
        QCOMPARE(f.cell(0, 0), QStringLiteral("2"));

        f.find<QCheckBox>("选择框_信息浏览_显示回收站")->click();
        QCOMPARE(f.page->rowCount(), 2);
        f.tick({0});
        const int restored = f.rowId(0);
        f.find<QPushButton>("按钮_信息浏览_还原")->click();
        QCOMPARE(f.result, QStringLiteral("还原成功"));
        QCOMPARE(f.page->rowCount(), 1);
        QCOMPARE(f.value(QStringLiteral("select status from bmb where id=%1").arg(restored)), QStringLiteral("1"));
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where status=1")), QStringLiteral("2"));
    }

    void permanentDeletionAsksAndChecksThePermission()
    {
        BrowseFixture f;
        QVERIFY(f.addRegistrations(3));
        f.page->enter(false);
        const int gone = f.rowId(2);
        QVERIFY(f.execute(QStringLiteral("insert into fj (uid,filename,status) values (%1,'5\\a.jpg',1)").arg(gone)));
        QVERIFY(f.execute(QStringLiteral("insert into fj (uid,filename,status) values (%1,'5\\b.jpg',1)").arg(f.rowId(0))));
        f.tick({2});

        for (int group : {4, 5, 6}) {
            f.state.currentOperator.group = group;
            f.find<QPushButton>("按钮_信息浏览_永久删除")->click();
        }
        QCOMPARE(f.messages.messages().size(), 3);
        for (const RecordedMessage& message : f.messages.messages()) {
            QCOMPARE(message.text, QStringLiteral("您的权限不足，不能操作本项，请更换更高权限的帐号再操作。"));
            QCOMPARE(message.style, 48 | 4096);
        }

        f.messages.clear();
        f.state.currentOperator.group = 2;
        f.messages.setAnswer(AnswerNo);
        f.find<QPushButton>("按钮_信息浏览_永久删除")->click();
        QCOMPARE(f.messages.messages().size(), 1);
        QCOMPARE(f.messages.messages().at(0).text, QStringLiteral("是否永久删除您选择的数据"));
        QCOMPARE(f.messages.messages().at(0).title, QStringLiteral("警告"));
        QCOMPARE(f.messages.messages().at(0).style, 4 | 48 | 4096);
        QCOMPARE(f.page->rowCount(), 3);
        QCOMPARE(f.page->tickedIds(), QVector<int>({gone}));

        f.messages.setAnswer(AnswerYes);
        f.find<QPushButton>("按钮_信息浏览_永久删除")->click();
        QCOMPARE(f.result, QStringLiteral("附件删除成功"));
        QCOMPARE(f.page->rowCount(), 2);
        QCOMPARE(f.value(QStringLiteral("select count(*) from bmb where id=%1").arg(gone)), QStringLiteral("0"));
        QCOMPARE(f.value(QStringLiteral("select count(*) from fj")), QStringLiteral("1"));

        // The page shown again leaves out the deleted registration.
        f.tick({0});
        f.chooseStatus(QStringLiteral("审核:通过√"));
        QCOMPARE(f.page->rowCount(), 2);
        QCOMPARE(f.cell(1, 0), QStringLiteral("2"));
        QVERIFY(f.rowId(0) != gone && f.rowId(1) != gone);
    }
};

BRENVO_TEST(StatusChangeTest)
#include "test_statuschange.moc"
