#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class Operator;
class QSoundEffect;
struct Parameters;

// The sound that calls the operator after a break: the system beep, or a wave file from the
// "Sounds" folder beside the program, repeated every RepeatSounds seconds until stopped.
class BreakSound : public QObject {
    Q_OBJECT
public:
    // Plays the wave file at path; false when it cannot.
    using Player = std::function<bool(const QString& path)>;

    BreakSound(Parameters& params, Operator& op, const QString& soundsFolder = DefaultSoundsFolder(),
               QObject* parent = nullptr);
    ~BreakSound() override;

    static QString DefaultSoundsFolder();
    QString soundsFolder() const { return m_folder; }
    void setPlayer(Player player) { m_player = std::move(player); }

    void StartBreakSound();
    void StopBreakSound();
    // Plays the chosen sound once; a file that is missing or cannot be played beeps instead.
    void PlaySound();
    // The wave file BreakSound names, found regardless of letter case; empty for "Beep" or no file.
    QString SoundFile() const;

    QTimer tmrSounds;

private:
    bool playWave(const QString& path);

    Parameters& m_params;
    Operator& m_op;
    QString m_folder;
    Player m_player;
    QSoundEffect* m_effect = nullptr;
};
