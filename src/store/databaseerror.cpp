#include "store/databaseerror.h"

namespace {

using store::ErrorKind;

const char* wordsFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Busy:
        return "数据库正被其他程序使用，请稍后再试。";
    case ErrorKind::DiskFull:
        return "磁盘已满，数据没有保存。请腾出磁盘空间后再试。";
    case ErrorKind::ReadOnly:
        return "数据库只能读取，不能写入，修改没有保存。请检查数据库文件和程序文件夹是否允许写入。";
    case ErrorKind::NoPermission:
        return "没有访问数据库的权限。";
    case ErrorKind::DiskError:
        return "读写数据库文件时磁盘出错，操作没有完成。";
    case ErrorKind::Damaged:
        return "数据库文件已损坏或不是数据库。请用数据备份恢复数据。";
    case ErrorKind::Unreachable:
        return "无法打开数据库：数据库文件打不开或数据库服务器连接不上。";
    case ErrorKind::OutOfMemory:
        return "内存不足，操作没有完成。";
    case ErrorKind::WrongPassword:
        return "数据库服务器拒绝登录：用户名或密码不对。";
    case ErrorKind::NoDatabase:
        return "数据库服务器上没有设置中的数据库：数据库不存在。";
    case ErrorKind::BadSetting:
        return "数据库服务器的连接设置有误，请检查 duzarizered.ini 中 [server] 的 connection。";
    case ErrorKind::NoAnswer:
        return "数据库服务器没有应答，操作没有完成。";
    case ErrorKind::None:
    case ErrorKind::Other:
        break;
    }
    return nullptr;
}

} // namespace

QString operatorErrorText(ErrorKind kind, const QString& engineText)
{
    const char* words = wordsFor(kind);
    if (engineText.isEmpty() || !words)
        return engineText;
    return QString::fromUtf8(words) + QStringLiteral("（") + engineText + QStringLiteral("）");
}
