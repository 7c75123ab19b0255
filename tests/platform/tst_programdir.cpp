// The program directory and the files found from it; skin bitmaps and their errors.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>

#include "platform/errors.h"
#include "platform/programdir.h"
#include "platform/skinbitmap.h"
#include "support/tempprogramdir.h"

class TestProgramDir : public QObject {
  Q_OBJECT

 private slots:
  void programFile_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("expected");  // relative to the program directory
    QTest::newRow("skin file, backslashes") << "\\skin\\main.bmp"
                                            << "skin/main.bmp";
    QTest::newRow("plain name") << "settings.ini"
                                << "settings.ini";
    QTest::newRow("doubled separators") << "\\\\skin//play.bmp"
                                        << "skin/play.bmp";
    QTest::newRow("repeat by number") << "\\skin\\repeat" + QString::number(2) + ".bmp"
                                      << "skin/repeat2.bmp";
  }
  void programFile() {
    QFETCH(QString, relative);
    QFETCH(QString, expected);
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    QVERIFY(ProgramDir().endsWith('/'));
    QCOMPARE(ProgramDir(), dir.Path());
    QCOMPARE(ProgramFile(relative), dir.Path() + expected);
  }

  void iniFileNames() {
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    QCOMPARE(SettingsFileName(), dir.Path() + "settings.ini");
    QCOMPARE(PlaylistFileName(), dir.Path() + "lastplay.dat");
  }

  void defaultIsTheExecutablesFolder() {
    SetProgramDir(QString());
    QCOMPARE(ProgramDir(), QCoreApplication::applicationDirPath() + '/');
  }

  // Where the files live, from the executable's folder and the environment.
  void dataFolders_data() {
    QTest::addColumn<QString>("exe");       // the executable's folder, under the root
    QTest::addColumn<QStringList>("made");  // folders under the root
    QTest::addColumn<QString>("xdg");       // XDG_CONFIG_HOME; "<root>" stands for the root
    QTest::addColumn<QString>("dataDir");   // expected, relative to the root
    QTest::addColumn<QString>("skinParent");
    QTest::addColumn<bool>("installed");
    const auto row = [](const char* name, const char* exe, const QStringList& made, const char* xdg,
                        const char* dataDir, const char* skinParent, bool installed) {
      QTest::newRow(name) << QString(exe) << made << QString(xdg) << QString(dataDir)
                          << QString(skinParent) << installed;
    };
    row("a folder with its skin keeps everything", "app", {"app/SKIN"}, "<root>/xdg", "app/",
        "app/", false);
    row("installed: the configuration folder, the installed skin", "usr/bin",
        {"usr/bin", "usr/share/brimtone/skin"}, "<root>/xdg", "xdg/brimtone/",
        "usr/share/brimtone/", true);
    row("installed, the user's own skin", "usr/bin", {"usr/bin", "xdg/brimtone/Skin"}, "<root>/xdg",
        "xdg/brimtone/", "xdg/brimtone/", true);
    row("no XDG_CONFIG_HOME: ~/.config", "usr/bin", {"usr/bin"}, "", "home/.config/brimtone/",
        "usr/share/brimtone/", true);
    row("relative XDG_CONFIG_HOME is ignored", "usr/bin", {"usr/bin"}, "relative/config",
        "home/.config/brimtone/", "usr/share/brimtone/", true);
  }
  void dataFolders() {
    QFETCH(QString, exe);
    QFETCH(QStringList, made);
    QFETCH(QString, xdg);
    QFETCH(QString, dataDir);
    QFETCH(QString, skinParent);
    QFETCH(bool, installed);
    QTemporaryDir root;
    for (const QString& path : made) QVERIFY(QDir().mkpath(root.filePath(path)));
    const QString exeDir = root.filePath(exe);
    const QString base = root.path() + '/';
    const TDataFolders folders =
        ResolveDataFolders(exeDir, QString(xdg).replace("<root>", root.path()), base + "home");
    QCOMPARE(folders.dataDir, base + dataDir);
    QCOMPARE(folders.skinParent, base + skinParent);
    QCOMPARE(folders.installed, installed);
  }

  void anyCaseLookup_data() {
    QTest::addColumn<QString>("onDisk");
    QTest::addColumn<QString>("asked");
    QTest::newRow("mixed case asked") << "skin/aplay.bmp"
                                      << "\\skin\\aPlay.bmp";
    QTest::newRow("upper case on disk") << "skin/MAIN.BMP"
                                        << "\\skin\\main.bmp";
    QTest::newRow("exact") << "skin/exit.bmp"
                           << "\\skin\\exit.bmp";
    QTest::newRow("folder in other case") << "Skin/main.bmp"
                                          << "\\skin\\main.bmp";
    QTest::newRow("both in other case") << "SKIN/Play.Bmp"
                                        << "\\skin\\play.bmp";
  }
  void anyCaseLookup() {
    QFETCH(QString, onDisk);
    QFETCH(QString, asked);
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    dir.Write(onDisk, "x");
    QCOMPARE(ProgramFileAnyCase(asked), dir.File(onDisk));
  }

  void anyCasePrefersExactName() {
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    dir.Write("skin/Play.bmp", "a");
    dir.Write("skin/play.bmp", "b");
    QCOMPARE(ProgramFileAnyCase("\\skin\\play.bmp"), dir.File("skin/play.bmp"));
  }

  void anyCaseMissingGivesExactPath() {
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    QCOMPARE(ProgramFileAnyCase("\\skin\\none.bmp"), dir.File("skin/none.bmp"));
  }

  void loadSkinBitmap() {
    const TTempProgramDir dir(TTempProgramDir::Skin::Default);
    const QImage main = LoadSkinBitmap("\\skin\\main.bmp");
    QCOMPARE(main.size(), QSize(344, 116));
    // Case does not matter for skin names.
    QCOMPARE(LoadSkinBitmap("\\SKIN\\Main.BMP").size(), QSize(344, 116));
  }

  void missingBitmap() {
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    try {
      LoadSkinBitmap("\\skin\\repeat7.bmp");
      QFAIL("no error");
    } catch (const EFOpenError& e) {
      QCOMPARE(e.Message(), "Cannot open file \"" + dir.File("skin/repeat7.bmp") +
                                "\". No such file or directory");
    }
  }

  void invalidBitmap_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("not a bitmap at all");
    QTest::newRow("truncated header") << QByteArray("BM\x10\x00\x00\x00", 6);
    QByteArray png;
    {
      QImage image(4, 4, QImage::Format_RGB32);
      image.fill(Qt::red);
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      image.save(&buffer, "PNG");
    }
    QTest::newRow("a PNG named .bmp") << png;
  }
  void invalidBitmap() {
    QFETCH(QByteArray, content);
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    dir.Write("skin/play.bmp", content);
    try {
      LoadSkinBitmap("\\skin\\play.bmp");
      QFAIL("no error");
    } catch (const EInvalidGraphic& e) {
      QCOMPARE(e.Message(), "Bitmap image is not valid");
    }
  }

  void folderInPlaceOfBitmap() {
    const TTempProgramDir dir(TTempProgramDir::Skin::None);
    QDir().mkpath(dir.File("skin/play.bmp"));
    QVERIFY_THROWS_EXCEPTION(EBrimtoneError, LoadSkinBitmap("\\skin\\play.bmp"));
  }
};

QTEST_MAIN(TestProgramDir)
#include "tst_programdir.moc"
