// The completion sound player: a missing or unplayable file beeps instead; playing never
// blocks and never crashes, with or without an audio device.
#include <QFile>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QtTest>

#include "sound_player.h"

using corvane::app::QtSoundPlayer;

namespace {

// A valid 8 kHz mono 16-bit WAV of `samples` silent samples.
QByteArray SilentWav(int samples) {
  QByteArray data;
  QDataStream s(&data, QIODevice::WriteOnly);
  s.setByteOrder(QDataStream::LittleEndian);
  const quint32 bytes = static_cast<quint32>(samples) * 2;
  s.writeRawData("RIFF", 4);
  s << quint32(36 + bytes);
  s.writeRawData("WAVEfmt ", 8);
  s << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2) << quint16(16);
  s.writeRawData("data", 4);
  s << bytes;
  data.append(QByteArray(static_cast<int>(bytes), '\0'));
  return data;
}

// Runs the test from a folder of its own, as the program resolves sounds against the current one.
struct InFolder {
  QTemporaryDir dir;
  QString previous = QDir::currentPath();
  InFolder() { QDir::setCurrent(dir.path()); }
  ~InFolder() { QDir::setCurrent(previous); }
  void Write(const QString& name, const QByteArray& bytes) {
    QDir(dir.path()).mkpath(QFileInfo(name).path());
    QFile f(dir.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
};

}  // namespace

class SoundTest : public QObject {
  Q_OBJECT

 private slots:
  void missingFileBeeps() {
    InFolder here;
    int beeps = 0;
    QtSoundPlayer player([&beeps] { ++beeps; });
    player.Play("voice//update_is_ready.wav");
    QCOMPARE(beeps, 1);
    player.Play("voice//update_failed.wav");
    QCOMPARE(beeps, 2);
  }

  void unplayableFileBeeps() {
    InFolder here;
    here.Write("voice/update_failed.wav", QByteArray("this is not a sound file at all", 31));
    int beeps = 0;
    QtSoundPlayer player([&beeps] { ++beeps; });
    player.Play("voice//update_failed.wav");
    QTRY_COMPARE_WITH_TIMEOUT(beeps, 1, 10000);
  }

  // The file is found through the doubled slash and loads; a second sound replaces the first.
  // With no audio device nothing may hang or crash either.
  void playsAndReplaces() {
    InFolder here;
    here.Write("voice/update_is_ready.wav", SilentWav(8000));
    here.Write("voice/update_failed.wav", SilentWav(8000));
    int beeps = 0;
    QtSoundPlayer player([&beeps] { ++beeps; });
    player.Play("voice//update_is_ready.wav");
    player.Play("voice//update_failed.wav");
    QTRY_COMPARE_WITH_TIMEOUT(player.findChildren<QSoundEffect*>().size(), qsizetype(1), 10000);
    QSoundEffect* effect = player.findChildren<QSoundEffect*>().front();
    QVERIFY(effect->source().toLocalFile().endsWith("/voice/update_failed.wav"));
    QTRY_VERIFY_WITH_TIMEOUT(effect->status() == QSoundEffect::Ready || effect->status() == QSoundEffect::Error, 10000);
    QCOMPARE(effect->status(), QSoundEffect::Ready);
    QCOMPARE(beeps, 0);
  }
};

QTEST_MAIN(SoundTest)
#include "tst_sound.moc"
