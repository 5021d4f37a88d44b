#pragma once
// Plays a sound file (WAV) without blocking the window, one at a time, and says when it has ended.
// A machine without an audio output is no error: nothing is played and the caller is told so.

#include <QObject>
#include <QString>

class QSoundEffect;

enum class TSoundStart { Started, NoAudioDevice, MissingFile };

class TSoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit TSoundPlayer(QObject* parent = nullptr);

    TSoundStart Play(const QString& file);
    bool Playing() const { return m_playing; }

signals:
    // Playing started or ended (also when the file turned out not to be playable).
    void PlayingChanged(bool playing);
    // The file could not be decoded or the output failed.
    void Failed(const QString& file);

private:
    void SetPlaying(bool playing);

    QSoundEffect* m_effect;
    QString m_file;
    bool m_playing = false;
};
