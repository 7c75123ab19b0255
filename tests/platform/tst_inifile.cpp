// The INI layer: value formats, the Windows file layout, line preservation, atomic writes,
// refused writes, batches and damaged files.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <stdexcept>

#include "platform/errors.h"
#include "platform/inifile.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

// Overwrites the file in place (same inode), as an editor without atomic save would.
void OverwriteInPlace(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadWrite));
  QCOMPARE(file.write(bytes), bytes.size());
  QVERIFY(file.resize(bytes.size()));
}

mode_t Mode(const QString& path) {
  struct stat st;
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

void SetMode(const QString& path, mode_t mode) {
  QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

// Stands in for the close of a write's temporary file: the bytes are stored, but the close
// fails as it can on NFS. Keeps the file's name.
QByteArray closedName;
int FailingClose(int fd) {
  char name[4096];
  const ssize_t n =
      ::readlink(("/proc/self/fd/" + QByteArray::number(fd)).constData(), name, sizeof name);
  closedName = QByteArray(name, std::max<ssize_t>(n, 0));
  ::close(fd);
  errno = EIO;
  return -1;
}

void MakeOld(const QString& path, int seconds) {
  const timeval then{time(nullptr) - seconds, 0}, times[2] = {then, then};
  QCOMPARE(::lutimes(QFile::encodeName(path).constData(), times), 0);
}

}  // namespace

class TestIniFile : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString Path(const QString& name = QStringLiteral("test.ini")) const {
    return dir_.filePath(name);
  }

 private slots:
  void init() {
    ClearIniFileCache();
    QVERIFY(dir_.isValid());
    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    QFile::remove(Path());
  }

  // --- value formats ---------------------------------------------------------------

  void parseInteger_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    const int def = -4242;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("decimal") << "12" << 12;
    QTest::newRow("blanks around") << " 12 " << 12;
    QTest::newRow("tabs around") << "\t12\t" << 12;
    QTest::newRow("plus sign") << "+12" << 12;
    QTest::newRow("minus sign") << "-12" << -12;
    QTest::newRow("leading zeros") << "007" << 7;
    QTest::newRow("hex lower") << "0x100" << 256;
    QTest::newRow("hex upper X and digits") << "0X7FFF" << 32767;
    QTest::newRow("hex mixed digits") << "0xaBc" << 0xabc;
    QTest::newRow("hex all bits is -1") << "0xFFFFFFFF" << -1;
    QTest::newRow("hex beyond 32 bits") << "0x100000000" << def;
    QTest::newRow("0x alone") << "0x" << def;
    QTest::newRow("hex bad digit") << "0x1g" << def;
    QTest::newRow("signed hex") << "-0x10" << def;
    QTest::newRow("trailing letters") << "12abc" << def;
    QTest::newRow("letters") << "abc" << def;
    QTest::newRow("empty") << "" << def;
    QTest::newRow("blank") << "   " << def;
    QTest::newRow("sign alone") << "-" << def;
    QTest::newRow("inner blank") << "1 2" << def;
    QTest::newRow("decimal point") << "1.5" << def;
    QTest::newRow("int max") << "2147483647" << 2147483647;
    QTest::newRow("int max + 1") << "2147483648" << def;
    QTest::newRow("int min") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("int min - 1") << "-2147483649" << def;
    QTest::newRow("very long number") << QString(5000, '9') << def;
    QTest::newRow("dollar hex is not hex") << "$10" << def;
  }
  void parseInteger() {
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(ParseIniInteger(text, -4242), expected);
    QCOMPARE(ParseIniInteger(QByteArrayView(text.toUtf8()), -4242), expected);
    // Read through a file the same way (the line's own blanks are trimmed first).
    WriteAll(Path(), "[s]\nk=" + text.toUtf8() + "\n");
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", -4242), expected);
  }

  void readBool_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");  // 0 false, 1 true, -1 the default
    QTest::newRow("one") << QByteArray("k=1") << 1;
    QTest::newRow("zero") << QByteArray("k=0") << 0;
    QTest::newRow("any non-zero") << QByteArray("k=-3") << 1;
    QTest::newRow("hex zero") << QByteArray("k=0x0") << 0;
    QTest::newRow("hex non-zero") << QByteArray("k=0x10") << 1;
    QTest::newRow("word true") << QByteArray("k=true") << -1;
    QTest::newRow("empty value") << QByteArray("k=") << -1;
    QTest::newRow("missing key") << QByteArray("other=1") << -1;
  }
  void readBool() {
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    WriteAll(Path(), "[s]\n" + line + "\n");
    const TIniFile ini(Path());
    const bool whenTrue = ini.ReadBool("s", "k", true);
    const bool whenFalse = ini.ReadBool("s", "k", false);
    if (expected < 0) {
      QCOMPARE(whenTrue, true);
      QCOMPARE(whenFalse, false);
    } else {
      QCOMPARE(whenTrue, expected == 1);
      QCOMPARE(whenFalse, expected == 1);
    }
  }

  void writeValues() {
    {
      TIniFile ini(Path());
      ini.WriteBool("main", "shuffle", true);
      ini.WriteBool("main", "timetype", false);
      ini.WriteInteger("main", "left", -684);
      ini.WriteString("main", "lastdir", "/home/u/Music/");
    }
    QCOMPARE(ReadAll(Path()),
             QByteArray("[main]\nshuffle=1\ntimetype=0\nleft=-684\nlastdir=/home/u/Music/\n"));
  }

  void stringRoundTrip_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("plain path") << "/home/u/Music/Blue.mp3";
    QTest::newRow("with equals sign") << "/m/a=b.mp3";
    QTest::newRow("non-ascii") << QString::fromUtf8("/m/Für Elise – ünïcödé.mp3");
    QTest::newRow("leading blank") << " starts with a blank";
    QTest::newRow("trailing blank") << "ends with a blank ";
    QTest::newRow("enclosed in quotes") << "\"quoted\"";
    QTest::newRow("enclosed in single quotes") << "'single'";
    QTest::newRow("one quote") << "\"";
    QTest::newRow("semicolon") << ";not a comment";
    QTest::newRow("bracketed") << "[not a section]";
    QTest::newRow("empty") << "";
    QTest::newRow("long, 100000 characters") << QString(100000, 'x');
  }
  void stringRoundTrip() {
    QFETCH(QString, value);
    TIniFile(Path()).WriteString("s", "k", value);
    ClearIniFileCache();
    QCOMPARE(TIniFile(Path()).ReadString("s", "k", "default"), value);
  }

  void readString_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks trimmed") << QByteArray("k =  value  ") << "value";
    QTest::newRow("inner blanks kept") << QByteArray("k=a  b") << "a  b";
    QTest::newRow("double quotes removed") << QByteArray("k=\" a \"") << " a ";
    QTest::newRow("single quotes removed") << QByteArray("k='x'") << "x";
    QTest::newRow("unmatched quote kept") << QByteArray("k=\"x") << "\"x";
    QTest::newRow("utf-8 decoded") << QByteArray("k=\xc3\xa9t\xc3\xa9") << QString::fromUtf8("été");
    QTest::newRow("invalid utf-8 replaced")
        << QByteArray(
               "k=a\xff"
               "b")
        << QString("a") + QChar(QChar::ReplacementCharacter) + "b";
    QTest::newRow("empty value") << QByteArray("k=") << "";
  }
  void readString() {
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    WriteAll(Path(), "[s]\n" + line + "\n");
    QCOMPARE(TIniFile(Path()).ReadString("s", "k", "default"), expected);
  }

  void lineBreaksInValuesStayOnOneLine() {
    {
      TIniFile ini(Path());
      ini.WriteString("s", "k", "a\nVersion=1\r\nb");
      ini.WriteString("s", "after", "x");
    }
    const TIniFile ini(Path());
    QCOMPARE(ini.ReadString("s", "k", ""), "a Version=1  b");
    QVERIFY(!ini.ValueExists("s", "Version"));
    QCOMPARE(ReadAll(Path()).count('\n'), 3);
  }

  // --- layout ----------------------------------------------------------------------

  void lineEndings_data() {
    QTest::addColumn<QByteArray>("eol");
    QTest::newRow("CRLF") << QByteArray("\r\n");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR") << QByteArray("\r");
  }
  void lineEndings() {
    QFETCH(QByteArray, eol);
    const QByteArray original = "[main]" + eol + "left=10" + eol + "top=20" + eol;
    WriteAll(Path(), original);
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("main", "left", 0), 10);
      QCOMPARE(ini.ReadInteger("main", "top", 0), 20);
      ini.WriteInteger("main", "volume", 5);
      ini.WriteInteger("playlist", "visible", 1);
    }
    QCOMPARE(ReadAll(Path()), original + "volume=5" + eol + "[playlist]" + eol + "visible=1" + eol);
  }

  void mixedLineEndingsKept() {
    const QByteArray original = "[a]\r\nx=1\ny=2\rz=3\r\n";
    WriteAll(Path(), original);
    TIniFile(Path()).WriteInteger("a", "y", 7);
    QCOMPARE(ReadAll(Path()), QByteArray("[a]\r\nx=1\ny=7\rz=3\r\n"));
    const TIniFile ini(Path());
    QCOMPARE(ini.ReadInteger("a", "x", 0), 1);
    QCOMPARE(ini.ReadInteger("a", "z", 0), 3);
  }

  void caseInsensitiveNames_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("as written") << "Main"
                                << "Left";
    QTest::newRow("lower") << "main"
                           << "left";
    QTest::newRow("upper") << "MAIN"
                           << "LEFT";
    QTest::newRow("mixed") << "mAiN"
                           << "lEfT";
  }
  void caseInsensitiveNames() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    WriteAll(Path(), "[Main]\nLeft=5\n");
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger(section, key, 0), 5);
      ini.WriteInteger(section, key, 6);
    }
    // The key keeps its spelling and its place; no second line appears.
    QCOMPARE(ReadAll(Path()), QByteArray("[Main]\nLeft=6\n"));
  }

  void blanksAroundNames() {
    WriteAll(Path(), "  [ main ]  \n  left  =  3  \n\tright\t=\t4\t\n");
    const TIniFile ini(Path());
    QCOMPARE(ini.ReadInteger("main", "left", 0), 3);
    QCOMPARE(ini.ReadInteger("main", "right", 0), 4);
    QCOMPARE(ini.KeyCount("main"), 2);
  }

  void unknownLinesKeptByteForByte() {
    const QByteArray original = QByteArrayLiteral(
        "\xEF\xBB\xBF; a comment before any section\r\n"
        "orphan=before any section\r\n"
        "[main]\r\n"
        "# hash comment\r\n"
        "a line without equals sign\r\n"
        "left=1\r\n"
        "garbage \xff\xfe\x00\x01 bytes\r\n"
        "=value without key\r\n"
        "[unclosed section\r\n"
        "\r\n"
        "   \r\n"
        "[other]\r\n"
        "k=\xc0\xc1 invalid utf-8\r\n");
    QVERIFY(original.contains('\0'));
    WriteAll(Path(), original);
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("main", "left", 0), 1);
      QVERIFY(!ini.ValueExists("", "orphan"));
      ini.WriteInteger("main", "left", 2);
    }
    QByteArray expected = original;
    expected.replace("left=1", "left=2");
    QCOMPARE(ReadAll(Path()), expected);
  }

  void bomBeforeFirstSection() {
    WriteAll(Path(), "\xEF\xBB\xBF[playlist]\nVersion=2\n");
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("playlist", "Version", 0), 2);
      ini.WriteInteger("playlist", "NumberOfEntries", 0);
    }
    QCOMPARE(ReadAll(Path()), QByteArray("\xEF\xBB\xBF[playlist]\nVersion=2\nNumberOfEntries=0\n"));
  }

  void newKeyAtEndOfItsSection() {
    WriteAll(Path(), "[a]\nx=1\n; note\ny=2\n\n\n[b]\nz=3\n");
    TIniFile(Path()).WriteString("a", "new", "v");
    QCOMPARE(ReadAll(Path()), QByteArray("[a]\nx=1\n; note\ny=2\nnew=v\n\n\n[b]\nz=3\n"));
  }

  void newKeysInAnEmptySectionFollowTheHeader() {
    WriteAll(Path(), "[a]\n\n[b]\nz=3\n");
    {
      TIniFile ini(Path());
      ini.WriteString("a", "one", "1");
      ini.WriteString("a", "two", "2");
    }
    QCOMPARE(ReadAll(Path()), QByteArray("[a]\none=1\ntwo=2\n\n[b]\nz=3\n"));
  }

  void lastLineWithoutTerminator() {
    WriteAll(Path(), "[a]\r\nx=1");
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("a", "x", 0), 1);
      ini.WriteString("a", "y", "2");
      ini.WriteString("b", "z", "3");
    }
    QCOMPARE(ReadAll(Path()), QByteArray("[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n"));
  }

  void changedLastLineKeepsHavingNoTerminator() {
    WriteAll(Path(), "[a]\nx=1");
    TIniFile(Path()).WriteString("a", "x", "22");
    QCOMPARE(ReadAll(Path()), QByteArray("[a]\nx=22"));
  }

  void duplicates() {
    WriteAll(Path(), "[s]\nk=first\nk=second\n[S]\nk=third\nonly=in repeated section\n");
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadString("s", "k", ""), "first");
      // A repeated section is not merged: its keys are not seen.
      QVERIFY(!ini.ValueExists("s", "only"));
      QCOMPARE(ini.KeyCount("s"), 1);
      ini.WriteString("s", "k", "changed");
    }
    QCOMPARE(ReadAll(Path()),
             QByteArray("[s]\nk=changed\nk=second\n[S]\nk=third\nonly=in repeated section\n"));
    {
      TIniFile ini(Path());
      ini.DeleteKey("s", "k");
      // Every line of the key in its section goes, so no older value resurfaces.
      QVERIFY(!ini.ValueExists("s", "k"));
      ini.WriteString("s", "only", "new");
    }
    QCOMPARE(ReadAll(Path()),
             QByteArray("[s]\nonly=new\n[S]\nk=third\nonly=in repeated section\n"));
  }

  void manyDuplicateKeys() {
    // Would take hours if duplicates were handled one against another.
    QByteArray bytes = "[s]\n";
    for (int i = 0; i < 200000; ++i) bytes += "k=" + QByteArray::number(i) + "\n";
    WriteAll(Path(), bytes);
    TIniFile ini(Path());
    QCOMPARE(ini.ReadInteger("s", "k", -1), 0);
    ini.DeleteKey("s", "k");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\n"));
  }

  void deleteKey() {
    WriteAll(Path(), "[s]\na=1\nb=2\nc=3\n");
    {
      TIniFile ini(Path());
      ini.DeleteKey("S", "B");
      QVERIFY(!ini.ValueExists("s", "b"));
      QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\nc=3\n"));
      // Written again, it goes to the end of the section.
      ini.WriteString("s", "b", "4");
    }
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\nc=3\nb=4\n"));
  }

  void deletingMissingKeyWritesNothing() {
    WriteAll(Path(), "[s]\na=1\n");
    SetMode(Path(), 0444);  // a write would throw
    TIniFile ini(Path());
    ini.DeleteKey("s", "missing");
    ini.DeleteKey("nosection", "a");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
  }

  void keyCount() {
    WriteAll(Path(), "[s]\na=1\nA=2\nb=\n; c=3\n[t]\nx=1\n");
    TIniFile ini(Path());
    QCOMPARE(ini.KeyCount("s"), 2);
    QCOMPARE(ini.KeyCount("missing"), 0);
    ini.WriteString("s", "c", "3");
    ini.DeleteKey("s", "a");
    QCOMPARE(ini.KeyCount("s"), 2);
  }

  void forEachKey() {
    WriteAll(Path(), QByteArrayLiteral("[s]\nb=2\nA=1\n; c=3\na=dup\nq=\"quoted\"\nbin=\xff\0x\n"
                                       "gone=1\n[other]\nz=9\n[S]\nhidden=1\n"));
    TIniFile ini(Path());
    ini.BeginUpdate();
    ini.DeleteKey("s", "gone");
    ini.WriteString("s", "new", "n");
    QList<QByteArray> seen;
    ini.ForEachKey("S", [&](QByteArrayView key, QByteArrayView value) {
      seen << key.toByteArray() + "=" + value.toByteArray();
    });
    // File order, each key once with its first value, quotes removed, bytes as they are;
    // comments, deleted keys and the repeated section's keys are not keys of the section.
    const QList<QByteArray> expected{"b=2", "A=1", "q=quoted", QByteArrayLiteral("bin=\xff\0x"),
                                     "new=n"};
    QCOMPARE(seen, expected);
    int calls = 0;
    ini.ForEachKey("missing", [&](QByteArrayView, QByteArrayView) { ++calls; });
    QCOMPARE(calls, 0);
  }

  void copyValue() {
    const QByteArray original = QByteArrayLiteral("[s]\nfrom=\xff raw \0 bytes\nto=old\n");
    WriteAll(Path(), original);
    {
      TIniFile ini(Path());
      QVERIFY(!ini.CopyValue("s", "missing", "to"));
      QCOMPARE(ReadAll(Path()), original);  // nothing written
      QVERIFY(ini.CopyValue("S", "FROM", "to"));
      QVERIFY(ini.CopyValue("s", "from", "added"));
    }
    // Copied byte for byte: nothing is lost to decoding and encoding.
    QCOMPARE(ReadAll(Path()),
             QByteArrayLiteral("[s]\nfrom=\xff raw \0 bytes\nto=\xff raw \0 bytes\n"
                               "added=\xff raw \0 bytes\n"));
    SetMode(Path(), 0444);
    TIniFile ini(Path());
    QVERIFY(!ini.CopyValue("s", "missing", "x"));  // nothing to write: no error
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.CopyValue("s", "from", "x"));
    QVERIFY(!ini.ValueExists("s", "x"));
  }

  // Values given as stored that would not read back are refused, and nothing is written.
  void storedValuesThatWouldNotReadBackAreRefused() {
    WriteAll(Path(), "[x]\na=1\nb=2\n");
    TIniFile ini(Path());
    auto edit = [](QByteArrayView key, QByteArrayView) -> TIniFile::TKeyEdit {
      return {TIniFile::TKeyEdit::Store, key == "b" ? QByteArrayView("two\nlines") : "one"};
    };
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.EditEachKey("x", edit));
    QCOMPARE(ini.ReadString("x", "a", ""), "1");  // the edit made before the refusal is gone
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteStored("x", "c", "a\rb"));
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteStored("x", "c", " a"));
    QCOMPARE(ReadAll(Path()), QByteArray("[x]\na=1\nb=2\n"));
    ini.WriteStored("x", "c", "\" a \"");  // quotes kept as they are
    QCOMPARE(ReadAll(Path()), QByteArray("[x]\na=1\nb=2\nc=\" a \"\n"));
  }

  void copyValueIntoLastLine() {
    // The target line is the last one, without terminator, and moves in the arena.
    WriteAll(Path(), "[s]\na=" + QByteArray(100000, 'v') + "\nb=1");
    {
      TIniFile ini(Path());
      ini.BeginUpdate();
      for (int i = 0; i < 50; ++i) QVERIFY(ini.CopyValue("s", "a", "k" + QString::number(i)));
      ini.EndUpdate();
    }
    const TIniFile ini(Path());
    QCOMPARE(ini.KeyCount("s"), 52);
    QCOMPARE(ini.ReadString("s", "k49", "").size(), 100000);
  }

  // --- files on disk ---------------------------------------------------------------

  void missingFile() {
    {
      TIniFile ini(Path());
      QVERIFY(!ini.FileExists());
      QCOMPARE(ini.ReadInteger("main", "volume", 32767), 32767);
      QCOMPARE(ini.ReadString("main", "lastdir", "def"), "def");
      ini.DeleteKey("main", "volume");
      QVERIFY(!QFile::exists(Path()));
      ini.WriteInteger("main", "volume", 1);  // the first write creates it
      QVERIFY(QFile::exists(Path()));
    }
    QVERIFY(TIniFile(Path()).FileExists());
    QCOMPARE(ReadAll(Path()), QByteArray("[main]\nvolume=1\n"));
  }

  void eachWriteReachesDiskAtOnce() {
    TIniFile ini(Path());
    ini.WriteString("s", "a", "1");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
    ini.WriteBool("s", "b", true);
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\nb=1\n"));
    ini.DeleteKey("s", "a");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\nb=1\n"));
    QCOMPARE(TIniFile(Path()).ReadBool("s", "b", false), true);
  }

  void permissionsKept() {
    WriteAll(Path(), "[s]\na=1\n");
    SetMode(Path(), 0604);
    TIniFile(Path()).WriteString("s", "a", "2");
    QCOMPARE(Mode(Path()), mode_t(0604));
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=2\n"));
  }

  void writeThroughSymlinkKeepsLink() {
    WriteAll(Path("target.ini"), "[s]\na=1\n");
    QFile::remove(Path("link.ini"));
    QVERIFY(QFile::link(Path("target.ini"), Path("link.ini")));
    TIniFile(Path("link.ini")).WriteString("s", "a", "2");
    QVERIFY(QFileInfo(Path("link.ini")).isSymLink());
    QCOMPARE(ReadAll(Path("target.ini")), QByteArray("[s]\na=2\n"));
  }

  void refusedWrite_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("WriteString") << 0;
    QTest::newRow("WriteInteger") << 1;
    QTest::newRow("WriteBool") << 2;
    QTest::newRow("DeleteKey") << 3;
    QTest::newRow("batch") << 4;
  }
  void refusedWrite() {
    QFETCH(int, operation);
    const QByteArray original = "[s]\r\na=1\r\n; keep me\r\n";
    WriteAll(Path(), original);
    SetMode(Path(), 0444);  // write bits all off: read-only even for root
    TIniFile ini(Path());
    try {
      switch (operation) {
        case 0:
          ini.WriteString("s", "a", "2");
          break;
        case 1:
          ini.WriteInteger("s", "b", 2);
          break;
        case 2:
          ini.WriteBool("t", "c", true);
          break;
        case 3:
          ini.DeleteKey("s", "a");
          break;
        default:
          ini.BeginUpdate();
          ini.WriteString("s", "a", "2");
          ini.WriteString("s", "b", "3");
          ini.EndUpdate();
      }
      QFAIL("the write was not refused");
    } catch (const EIniFileException& e) {
      QCOMPARE(e.Message(), "Unable to write to " + Path());
    }
    QCOMPARE(ReadAll(Path()), original);
    QCOMPARE(Mode(Path()), mode_t(0444));
    // Memory goes back to what the file holds.
    QCOMPARE(ini.ReadInteger("s", "a", 0), 1);
    QVERIFY(!ini.ValueExists("s", "b"));
    QVERIFY(QDir(dir_.path()).entryList(QDir::Files).filter("test.ini").size() == 1);
  }

  void failedWriteLeavesNoTemporaryFile_data() {
    QTest::addColumn<bool>("readBefore");
    QTest::newRow("file not held yet") << false;
    QTest::newRow("file held from an earlier read") << true;
  }
  void failedWriteLeavesNoTemporaryFile() {
    QFETCH(bool, readBefore);
    const QByteArray original = "[s]\na=1\n";
    WriteAll(Path(), original);
    if (readBefore) QCOMPARE(TIniFile(Path()).ReadInteger("s", "a", 0), 1);
    TIniFile ini(Path());
    // Files may grow to 64 bytes only: the temporary file cannot take the new content.
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QString message;
    try {
      ini.WriteString("s", "big", QString(200, 'x'));
    } catch (const EIniFileException& e) {
      message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    QCOMPARE(message, "Unable to write to " + Path());
    QCOMPARE(ReadAll(Path()), original);
    QCOMPARE(QDir(dir_.path()).entryList({"*test.ini*"}, QDir::Files | QDir::Hidden),
             QStringList{"test.ini"});
    QVERIFY(!ini.ValueExists("s", "big"));
    QCOMPARE(ini.ReadInteger("s", "a", 0), 1);
    QVERIFY(!TIniFile(Path()).ValueExists("s", "big"));
    // Nothing is left half-done: the next write goes through.
    ini.WriteString("s", "a", "2");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=2\n"));
  }

  void failedCloseKeepsTheOldFile_data() {
    QTest::addColumn<bool>("batch");
    QTest::newRow("one write") << false;
    QTest::newRow("batch") << true;
  }
  void failedCloseKeepsTheOldFile() {
    QFETCH(bool, batch);
    WriteAll(Path(), "[s]\na=1\n");
    TIniFile ini(Path());
    SetTemporaryCloseForTesting(FailingClose);
    if (batch) ini.BeginUpdate();
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteString("s", "a", "2"); ini.EndUpdate());
    SetTemporaryCloseForTesting(nullptr);
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
    QCOMPARE(ini.ReadInteger("s", "a", 0), 1);
    // What a kill at that moment would have left goes at the next start.
    WriteAll(QFile::decodeName(closedName), "left over");
    MakeOld(QFile::decodeName(closedName), 120);
    QCOMPARE(RemoveLeftoverTemporaryFiles(Path()), 1);
    QCOMPARE(QDir(dir_.path()).entryList({"*test.ini*"}, QDir::Files | QDir::Hidden),
             QStringList{"test.ini"});
  }

  void leftoverTemporaryFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("age");
    QTest::addColumn<bool>("removed");
    QTest::newRow("ours") << "test.ini.1a2b3c.tmp" << 120 << true;
    QTest::newRow("ours, under a minute old") << "test.ini.1a2b3c.tmp" << 30 << false;
    QTest::newRow("nine digits") << "test.ini.1ffffffff.tmp" << 120 << false;
    QTest::newRow("upper-case hex") << "test.ini.1A2B.tmp" << 120 << false;
    QTest::newRow("another file's") << "xtest.ini.1a.tmp" << 120 << false;
    QTest::newRow("folder") << "dir:test.ini.1a.tmp" << 120 << false;
    QTest::newRow("link") << "link:test.ini.1a.tmp" << 120 << false;
  }
  void leftoverTemporaryFiles() {
    QFETCH(QString, name);
    QFETCH(int, age);
    QFETCH(bool, removed);
    const QString path = Path(name.section(':', -1));
    WriteAll(Path("target"), "kept");
    if (name.startsWith("dir:"))
      QVERIFY(QDir().mkpath(path));
    else if (!name.startsWith("link:") || !QFile::link(Path("target"), path))
      WriteAll(path, "left over");
    MakeOld(path, age);
    QCOMPARE(RemoveLeftoverTemporaryFiles(Path()), removed ? 1 : 0);
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    QCOMPARE(ReadAll(Path("target")), QByteArray("kept"));
    QDir(path).removeRecursively();
    QFile::remove(path);
  }

  void newFileTakesTheUmask() {
    const mode_t old = ::umask(027);
    TIniFile(Path()).WriteString("s", "a", "1");
    ::umask(old);
    QCOMPARE(Mode(Path()), mode_t(0640));
    QCOMPARE(QDir(dir_.path()).entryList({"*test.ini*"}, QDir::Files | QDir::Hidden),
             QStringList{"test.ini"});
  }

  void otherAccessObjectKeepsWhatItRead() {
    WriteAll(Path(), "[s]\na=1\n");
    TIniFile first(Path());
    TIniFile second(Path());
    second.WriteString("s", "a", "2");
    second.WriteString("s", "b", "3");
    QCOMPARE(first.ReadInteger("s", "a", 0), 1);
    QVERIFY(!first.ValueExists("s", "b"));
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "a", 0), 2);
    // The first one's write starts from what it read.
    first.WriteString("s", "c", "4");
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\nc=4\n"));
  }

  void readOnlyFolder() {
    QDir(dir_.path()).mkpath("ro");
    const QString path = Path("ro/new.ini");
    SetMode(dir_.filePath("ro"), 0555);
    try {
      TIniFile(path).WriteString("s", "a", "1");
      QFAIL("the write was not refused");
    } catch (const EIniFileException& e) {
      QCOMPARE(e.Message(), "Unable to write to " + path);
    }
    SetMode(dir_.filePath("ro"), 0755);
    QVERIFY(QDir(dir_.filePath("ro")).isEmpty());
  }

  void missingFolder() {
    const QString path = Path("no/such/folder/x.ini");
    QVERIFY_THROWS_EXCEPTION(EIniFileException, TIniFile(path).WriteString("s", "a", "1"));
  }

  void notAFile() {
    // A folder in the file's place reads as empty and is never replaced.
    QDir(dir_.path()).mkpath("folder.ini");
    TIniFile ini(Path("folder.ini"));
    QVERIFY(ini.FileExists());
    QCOMPARE(ini.ReadInteger("s", "a", 9), 9);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteString("s", "a", "1"));
    QVERIFY(QFileInfo(Path("folder.ini")).isDir());
  }

  void largeFileReadAndWritten() {
    // Over the former 16 MiB limit: 400,000 keys, then a 20 MB line.
    QByteArray content = "[s]\n";
    for (int i = 0; i < 400000; ++i)
      content += "Key" + QByteArray::number(i) + "=some value here\n";
    content += "v=" + QByteArray(20 << 20, 'v') + "\n";
    WriteAll(Path(), content);
    TIniFile(Path()).WriteString("s", "added", "1");
    QCOMPARE(ReadAll(Path()), content + "added=1\n");
    ClearIniFileCache();
    const TIniFile fresh(Path());
    QCOMPARE(fresh.ReadString("s", "Key399999", ""), "some value here");
    QCOMPARE(fresh.ReadString("s", "v", "").size(), 20 << 20);
  }

  void oversizedFileLeftAlone() {
    const QString path = Path("huge.ini");
    const qint64 size = (qint64(1) << 30) + 1;
    {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("[s]\na=1\n");
      QVERIFY(file.resize(size));  // sparse: no time spent writing it
    }
    TIniFile ini(path);
    QCOMPARE(ini.ReadInteger("s", "a", 9), 9);
    QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteString("s", "a", "2"));
    QCOMPARE(QFileInfo(path).size(), size);
    QFile::remove(path);
  }

  // Names that would not read back are refused and nothing is written.
  void names_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("storable");
    const QString s = "s", k = "k";
    QTest::newRow("= in key") << s << "a=b" << false;
    QTest::newRow("key starts with ; after blanks") << s << "  ;k" << false;
    QTest::newRow("blank key") << s << " \t " << false;
    QTest::newRow("line break in key") << s << "a\nb" << false;
    QTest::newRow("] in section") << "a]b" << k << false;
    QTest::newRow("empty section") << "" << k << false;
    QTest::newRow("key with ] [ ; inside") << s << "a]b[c;d" << true;
    QTest::newRow("section with [ = ;, blanks around") << " [;a=b " << k << true;
  }
  void names() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(bool, storable);
    const QByteArray before = "[s]\nold=1\n";
    WriteAll(Path(), before);
    TIniFile ini(Path());
    if (!storable) {
      QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.WriteString(section, key, "v"));
      QVERIFY_THROWS_EXCEPTION(EIniFileException, ini.CopyValue(section, "old", key));
      QCOMPARE(ReadAll(Path()), before);
      QVERIFY(!ini.ValueExists(section, key));
      return;
    }
    ini.WriteString(section, key, "v");
    ClearIniFileCache();
    QCOMPARE(TIniFile(Path()).ReadString(section, key, ""), "v");
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "old", 0), 1);
  }

  // A byte-order mark inside a value is part of the value.
  void byteOrderMarkInValue_data() {
    const QString bom(QChar(0xFEFF));
    QTest::addColumn<QByteArray>("value");  // as it stands in the file
    QTest::addColumn<QString>("text");
    QTest::newRow("before a number") << QByteArray("\xEF\xBB\xBF") + '2' << bom + "2";
    QTest::newRow("inside quotes") << QByteArray("\"\xEF\xBB\xBF a\"") << bom + " a";
  }
  void byteOrderMarkInValue() {
    QFETCH(QByteArray, value);
    QFETCH(QString, text);
    WriteAll(Path(), "[s]\nk=" + value + "\n");
    QCOMPARE(TIniFile(Path()).ReadString("s", "k", ""), text);
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", -1), -1);  // not a number
    TIniFile(Path()).WriteString("s", "again", text);          // written back it reads the same
    ClearIniFileCache();
    QCOMPARE(TIniFile(Path()).ReadString("s", "again", ""), text);
  }

  void batchCommitsOnce() {
    WriteAll(Path(), "[s]\na=1\n");
    TIniFile ini(Path());
    ini.BeginUpdate();
    ini.WriteString("s", "a", "2");
    ini.BeginUpdate();
    ini.WriteString("s", "b", "3");
    ini.DeleteKey("s", "a");
    ini.EndUpdate();  // inner: nothing yet
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
    // Reads inside the batch see its writes.
    QCOMPARE(ini.ReadInteger("s", "b", 0), 3);
    QVERIFY(!ini.ValueExists("s", "a"));
    ini.EndUpdate();
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\nb=3\n"));
  }

  void destructorCommitsOpenBatch() {
    {
      TIniFile ini(Path());
      ini.BeginUpdate();
      ini.WriteString("s", "a", "1");
    }
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
  }

  void batchAbandonedByExceptionIsDropped() {
    WriteAll(Path(), "[s]\na=1\n");
    try {
      TIniFile ini(Path());
      ini.BeginUpdate();
      ini.WriteString("s", "a", "half");
      throw std::runtime_error("interrupted");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
    QCOMPARE(TIniFile(Path()).ReadString("s", "a", ""), "1");
  }

  void destructorNeverThrows() {
    WriteAll(Path(), "[s]\na=1\n");
    SetMode(Path(), 0444);
    {
      TIniFile ini(Path());
      ini.BeginUpdate();
      ini.WriteString("s", "a", "2");
    }  // the refused commit must not escape
    QCOMPARE(ReadAll(Path()), QByteArray("[s]\na=1\n"));
  }

  // --- what other programs do between operations -------------------------------------

  void externalEditSeen_data() {
    QTest::addColumn<bool>("inPlace");
    QTest::newRow("overwritten in place, same size") << true;
    QTest::newRow("replaced by another file") << false;
  }
  void externalEditSeen() {
    QFETCH(bool, inPlace);
    for (int round = 0; round < 50; ++round) {
      TIniFile(Path()).WriteInteger("s", "k", 4);
      QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", 0), 4);
      const QByteArray edited = "[s]\nk=" + QByteArray::number(round % 10) + "\n";
      if (inPlace) {
        OverwriteInPlace(Path(), edited);
      } else {
        WriteAll(Path("other.ini"), edited);
        QVERIFY(::rename(QFile::encodeName(Path("other.ini")).constData(),
                         QFile::encodeName(Path()).constData()) == 0);
      }
      QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", -1), round % 10);
    }
  }

  void externalEditRightAfterOurWriteSeen() {
    // Within the same clock tick as our write, size and timestamps can stay the same.
    for (int round = 0; round < 50; ++round) {
      TIniFile(Path()).WriteInteger("s", "k", 4);
      OverwriteInPlace(Path(), "[s]\nk=" + QByteArray::number(round % 4) + "\n");
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("s", "k", -1), round % 4);
      ini.WriteInteger("s", "n", round);  // written on top of the edit, not of our write
      QCOMPARE(ReadAll(Path()), "[s]\nk=" + QByteArray::number(round % 4) +
                                    "\nn=" + QByteArray::number(round) + "\n");
      QFile::remove(Path());
    }
  }

  void externalEditOfAnOldFileSeen() {
    // A file untouched for a while is recognised by its identity without reading it;
    // an edit afterwards must still be seen, even one that keeps size and timestamps.
    WriteAll(Path(), "[s]\nk=1\n");
    QTest::qWait(2200);
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", 0), 1);
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", 0), 1);
    struct stat before;
    QCOMPARE(::stat(QFile::encodeName(Path()).constData(), &before), 0);
    OverwriteInPlace(Path(), "[s]\nk=2\n");
    struct utimbuf times {
      before.st_atime, before.st_mtime
    };
    ::utime(QFile::encodeName(Path()).constData(), &times);  // mtime put back; ctime moves on
    QCOMPARE(TIniFile(Path()).ReadInteger("s", "k", 0), 2);
  }

  void deletedFileSeen() {
    TIniFile(Path()).WriteInteger("s", "k", 1);
    QVERIFY(QFile::remove(Path()));
    TIniFile ini(Path());
    QVERIFY(!ini.FileExists());
    QCOMPARE(ini.ReadInteger("s", "k", 0), 0);
  }

  // --- damaged files ---------------------------------------------------------------

  void damagedFiles_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray garbage;
    for (int i = 0; i < 65536; ++i) garbage += char((i * 7919 + 13) & 0xff);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("NUL bytes only") << QByteArray(4096, '\0');
    QTest::newRow("megabyte line") << QByteArray("[s]\n") + QByteArray(3 << 20, 'v') + "\n";
    QTest::newRow("megabyte key") << QByteArray("[s]\n") + QByteArray(2 << 20, 'k') + "=1\n";
    QTest::newRow("megabyte section") << "[" + QByteArray(2 << 20, 's') + "]\nk=1\n";
    QTest::newRow("a million blank lines") << QByteArray(1 << 20, '\n');
    QTest::newRow("only brackets") << QByteArray(1 << 20, '[');
    QTest::newRow("only equals signs") << "[s]\n" + QByteArray(1 << 20, '=');
    QTest::newRow("many sections") << QByteArray("[a]\nk=1\n").repeated(100000);
  }
  void damagedFiles() {
    QFETCH(QByteArray, content);
    WriteAll(Path(), content);
    {
      TIniFile ini(Path());
      QCOMPARE(ini.ReadInteger("z", "k", 5), 5);
      ini.WriteString("z", "k", "6");
    }
    // Everything that was there stays, the new section follows it.
    const QByteArray after = ReadAll(Path());
    QVERIFY(after.startsWith(content));
    // New lines take the file's first line ending (garbage may start with a lone CR).
    QByteArray added = after.mid(content.size());
    added.replace("\r\n", "\n").replace('\r', '\n');
    QVERIFY2(added == "[z]\nk=6\n" || added == "\n[z]\nk=6\n", added.constData());
    QCOMPARE(TIniFile(Path()).ReadInteger("z", "k", 0), 6);
  }

  void megabyteValueReadWhole() {
    const QByteArray value(3 << 20, 'p');
    WriteAll(Path(), "[s]\nk=" + value + "\n");
    QCOMPARE(TIniFile(Path()).ReadString("s", "k", "").size(), value.size());
  }

  void manyEditsOnOneObject() {
    // Edits pile up in memory; the file must stay right through many commits.
    TIniFile ini(Path());
    ini.BeginUpdate();
    for (int i = 0; i < 2000; ++i) ini.WriteInteger("s", "k" + QString::number(i), i);
    ini.EndUpdate();
    for (int round = 0; round < 30; ++round) {
      ini.BeginUpdate();
      for (int i = 0; i < 2000; ++i) {
        if ((i + round) % 3 == 0)
          ini.DeleteKey("s", "k" + QString::number(i));
        else
          ini.WriteInteger("s", "k" + QString::number(i), i * round);
      }
      ini.EndUpdate();
    }
    ClearIniFileCache();
    const TIniFile fresh(Path());
    for (int i = 0; i < 2000; ++i) {
      const int expected = (i + 29) % 3 == 0 ? -1 : i * 29;
      QCOMPARE(fresh.ReadInteger("s", "k" + QString::number(i), -1), expected);
    }
  }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
