#include "platform/sound.h"

#include <QCoreApplication>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

void playSoundResource(const QString& resourcePath)
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return;
    static QSoundEffect* effect = nullptr;
    if (!effect)
        effect = new QSoundEffect(QCoreApplication::instance());
    effect->setSource(QUrl(QStringLiteral("qrc") + resourcePath));
    effect->play();
}
