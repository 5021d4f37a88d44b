#include "SoundPlayer.h"

#include <QFileInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

TSoundPlayer::TSoundPlayer(QObject* parent) : QObject(parent), m_effect(new QSoundEffect(this))
{
    connect(m_effect, &QSoundEffect::playingChanged, this, [this] {
        if (!m_effect->isPlaying())
            SetPlaying(false);
    });
    connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
        if (m_effect->status() != QSoundEffect::Error)
            return;
        SetPlaying(false);
        emit Failed(m_file);
    });
}

TSoundStart TSoundPlayer::Play(const QString& file)
{
    if (!QFileInfo(file).isFile())
        return TSoundStart::MissingFile;
    if (QMediaDevices::audioOutputs().isEmpty())
        return TSoundStart::NoAudioDevice;
    m_file = file;
    SetPlaying(true);
    m_effect->setSource(QUrl::fromLocalFile(file));
    // Plays as soon as the file is loaded.
    m_effect->play();
    return TSoundStart::Started;
}

void TSoundPlayer::SetPlaying(bool playing)
{
    if (m_playing == playing)
        return;
    m_playing = playing;
    emit PlayingChanged(playing);
}
