#include "base/datetime.h"
#include "filesizelimit.h"
#include "pipeline/databinary.h"
#include "pipeline/databinary9bits.h"
#include "pipeline/datalog.h"
#include "pipeline/datanetitems.h"
#include "pipeline/dataobjectqueue.h"
#include "pipeline/dataobjectregistry.h"
#include "pipeline/datapelmar97.h"
#include "pipeline/logfile.h"
#include "pipeline/logfilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, t));
  return t;
}

class LogFile : public ::testing::Test {
protected:
  void SetUp() override { RegisterVexlinDataObjectClasses(); }
  void TearDown() override { ClearDataObjectClasses(); }

  std::vector<std::unique_ptr<TVexlinDataObject>> LoadBytes(const QByteArray &bytes,
                                                            qsizetype pieceSize = 0) {
    std::vector<std::unique_ptr<TVexlinDataObject>> rows;
    TLogFileReader reader(
        [&](std::unique_ptr<TVexlinDataObject> o) { rows.push_back(std::move(o)); });
    if (pieceSize <= 0)
      pieceSize = qMax<qsizetype>(1, bytes.size());
    for (qsizetype i = 0; i < bytes.size(); i += pieceSize)
      reader.Feed(bytes.constData() + i, qMin(pieceSize, bytes.size() - i));
    reader.Finish();
    return rows;
  }

  QTemporaryDir dir;
};

TEST_F(LogFile, LineFormatOfEveryKind) {
  TVexlinDataBinary rx(QByteArray("AB\r"), spRx);
  rx.Time = At(2013, 5, 21, 14, 30, 5, 999);
  TVexlinDataBinary_Pelmar97 frame(QByteArray::fromHex("2A610008010223148107AA0D"), spTx);
  frame.Time = rx.Time;
  TVexlinDataLog log(QStringLiteral("Připojeno"), 0xFF);
  log.Time = rx.Time;
  TVexlinDataLantronixScanItem lsi;
  lsi.IP = "127.0.0.5";
  lsi.MAC = "00:20:4A:01:02:03";
  lsi.Info = "X5";
  lsi.Time = rx.Time;
  TVexlinDataArpTableItem arp;
  arp.IP = "192.168.1.5";
  arp.MAC = "00:11:22:33:44:55";
  arp.Time = rx.Time;
  TVexlinDataBinary9Bits nine;
  nine.Time = rx.Time;
  TVexlinDataBinary empty(QByteArray(), spRx);
  empty.Time = rx.Time;

  struct Case {
    const TVexlinDataObject *row;
    const char *line; // nullptr: not saved
  } cases[] = {
      {&rx, "2013-05-21 14:30:05\tbin\trx hex:41 42 0D\tascii:AB{$0D}\n\r"},
      {&frame, "2013-05-21 14:30:05\ts97\ttx hex:2A 61 00 08 01 02 23 14 81 07 AA 0D\t"
               "ascii:*a{$00,$08,$01,$02,$23,$14,$81,$07,$AA,$0D}\n\r"},
      {&log, "2013-05-21 14:30:05\tlog\tP\xF8ipojeno\n\r"},
      {&lsi, "2013-05-21 14:30:05\tlsi\tNalezen modul - ip: 127.0.0.5\tmac: 00:20:4A:01:02:03"
             "\tinfo: X5\n\r"},
      {&arp, "2013-05-21 14:30:05\tarp\tmac: 00:11:22:33:44:55\tip: 192.168.1.5\n\r"},
      {&empty, "2013-05-21 14:30:05\tbin\trx hex:\tascii:\n\r"},
      {&nine, nullptr},
      {nullptr, nullptr},
  };
  for (const Case &c : cases) {
    QByteArray out;
    EXPECT_EQ(AppendLogLine(out, c.row), c.line != nullptr);
    EXPECT_EQ(out, QByteArray(c.line ? c.line : "")) << (c.line ? c.line : "(not saved)");
  }
}

TEST_F(LogFile, ProposedNameAndTimeStamp) {
  EXPECT_EQ(ProposeLogFileName(At(2013, 2, 1, 9, 5, 59)), "2013-02-01_09-05_log.txt");
  EXPECT_EQ(FormatLogTimeStamp(At(1999, 12, 31, 23, 59, 59, 999)), "1999-12-31 23:59:59");
}

TEST_F(LogFile, SaveAndLoadRoundTrip) {
  std::vector<std::unique_ptr<TVexlinDataObject>> rows;
  auto add = [&](TVexlinDataObject *o, TDateTime t) {
    o->Time = t;
    rows.emplace_back(o);
  };
  const TDateTime t = At(2013, 5, 21, 14, 30, 5, 678);
  add(new TVexlinDataBinary(QByteArray("AB\r"), spRx), t);
  add(new TVexlinDataBinary(QByteArray("rx"), spTx), t);
  add(new TVexlinDataBinary(QByteArray(), spRx), t);
  add(new TVexlinDataBinary(QByteArray::fromHex("00FF2A7F26250D"), spRx), t);
  add(new TVexlinDataLog(QStringLiteral("Chyba: žluťoučký kůň"), 0xFF), t);
  auto *arp = new TVexlinDataArpTableItem;
  arp->IP = "192.168.1.5";
  arp->MAC = "00:11:22:33:44:55";
  add(arp, t);
  auto *nif = new TVexlinDataNetInterface;
  nif->IP = "127.0.0.1";
  nif->MAC = "00:00:00:00:00:00";
  add(nif, t);
  add(new TVexlinDataBinary9Bits, t);

  std::vector<const TVexlinDataObject *> view;
  for (auto &r : rows)
    view.push_back(r.get());
  const QString name = dir.filePath("log.vexlin.txt");
  QString error;
  ASSERT_TRUE(SaveLogFile(name, view, &error)) << error.toStdString();

  std::vector<std::unique_ptr<TVexlinDataObject>> loaded;
  ASSERT_TRUE(LoadLogFile(
      name, [&](auto o) { loaded.push_back(std::move(o)); }, &error));
  ASSERT_EQ(loaded.size(), 7u) << "the 9-bit row is not saved and the final CR adds no row";
  const TDateTime cut = At(2013, 5, 21, 14, 30, 5);
  for (int i = 0; i < 4; ++i) {
    auto *orig = static_cast<TVexlinDataBinary *>(rows[i].get());
    auto *back = dynamic_cast<TVexlinDataBinary *>(loaded[i].get());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Data, orig->Data) << i;
    EXPECT_EQ(back->Direction, orig->Direction) << i;
    EXPECT_DOUBLE_EQ(back->Time, cut) << "milliseconds are cut off";
  }
  auto *log = dynamic_cast<TVexlinDataLog *>(loaded[4].get());
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(log->Text, QStringLiteral("Chyba: žluťoučký kůň"));
  EXPECT_EQ(log->TextColor, 0u) << "a reloaded log line is black";
  auto *arpBack = dynamic_cast<TVexlinDataArpTableItem *>(loaded[5].get());
  ASSERT_NE(arpBack, nullptr);
  EXPECT_EQ(arpBack->IP, "192.168.1.5");
  EXPECT_EQ(arpBack->MAC, "00:11:22:33:44:55");
  auto *nifBack = dynamic_cast<TVexlinDataNetInterface *>(loaded[6].get());
  ASSERT_NE(nifBack, nullptr);
  EXPECT_EQ(nifBack->IP, "127.0.0.1");
}

TEST_F(LogFile, ReaderLineRulesAndBadInput) {
  const QByteArray file =
      "2013-05-21 14:30:05\txyz\thello\n\r"          // unknown token: a log row of the data
      "2013-13-21 14:30:06\tbin\trx hex:01\n\r"      // impossible month: time of the line before
      "\n"                                           // a genuinely empty line is a row
      "2013-05-21 14:30:07\tlog\tmid\rdle\r\n"       // lone CR dropped, CR LF ends the line
      "short\n"                                      // too short for a token
      "2013-05-21 14:30:08\tbin\ttx hex:0G 12 34\r"; // no final LF
  for (qsizetype piece : {qsizetype(0), qsizetype(1), qsizetype(7)}) {
    auto rows = LoadBytes(file, piece);
    ASSERT_EQ(rows.size(), 6u) << "piece " << piece;
    auto *hello = dynamic_cast<TVexlinDataLog *>(rows[0].get());
    ASSERT_NE(hello, nullptr);
    EXPECT_EQ(hello->Text, "hello");
    EXPECT_DOUBLE_EQ(rows[0]->Time, At(2013, 5, 21, 14, 30, 5));
    auto *bin = dynamic_cast<TVexlinDataBinary *>(rows[1].get());
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(bin->Data, QByteArray(1, 1));
    EXPECT_DOUBLE_EQ(rows[1]->Time, rows[0]->Time);
    auto *emptyLine = dynamic_cast<TVexlinDataLog *>(rows[2].get());
    ASSERT_NE(emptyLine, nullptr);
    EXPECT_TRUE(emptyLine->Text.isEmpty());
    EXPECT_EQ(static_cast<TVexlinDataLog *>(rows[3].get())->Text, "middle");
    EXPECT_TRUE(dynamic_cast<TVexlinDataLog *>(rows[4].get()) != nullptr);
    auto *last = dynamic_cast<TVexlinDataBinary *>(rows[5].get());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Direction, spTx);
    EXPECT_TRUE(last->Data.isEmpty()) << "the byte list ends at the first token that is no byte";
  }
}

TEST_F(LogFile, GarbageNulBytesAndHugeLinesLoad) {
  QByteArray garbage;
  for (int i = 0; i < 100000; ++i)
    garbage.append(static_cast<char>((i * 7919) & 0xFF));
  garbage.append(QByteArray(4 << 20, 'x')); // a line of several megabytes
  garbage.append(QByteArray("\0\0\t\0\0\0", 6));
  auto rows = LoadBytes(garbage, 4096);
  EXPECT_GT(rows.size(), 0u);
  for (auto &r : rows)
    EXPECT_EQ(r->Time, 0.0) << "no line held a readable time";
}

TEST_F(LogFile, SaveErrorsAreReportedAndLeaveNoFile) {
  TVexlinDataLog log("x", 0);
  const TVexlinDataObject *rows[] = {&log};
  QString error;
  const QString missing = dir.filePath("no/such/folder/log.txt");
  EXPECT_FALSE(SaveLogFile(missing, rows, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_FALSE(LoadLogFile(
      dir.filePath("absent.txt"), [](auto) {}, &error));
}

// A disk filling up half-way through (here a file size limit) names the
// system's reason and keeps the previous file.
TEST_F(LogFile, AWriteCutShortKeepsThePreviousFileAndSaysWhy) {
  const QString name = dir.filePath("log.txt");
  {
    QFile previous(name);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("old");
  }
  std::vector<std::unique_ptr<TVexlinDataBinary>> owned;
  std::vector<const TVexlinDataObject *> rows;
  for (int i = 0; i < 3000; ++i) {
    owned.push_back(std::make_unique<TVexlinDataBinary>(QByteArray(100, 'a'), spRx));
    rows.push_back(owned.back().get());
  }
  QString error;
  bool saved = true;
  {
    TFileSizeLimit limit(64 * 1024);
    saved = SaveLogFile(name, rows, &error);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(error.toStdString(), qt_error_string(EFBIG).toStdString());
  QFile kept(name);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "old");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"log.txt"});
}

// A save spread over many calls writes out as it goes; cancelled after that,
// the file before it is untouched and no temporary file is left.
TEST_F(LogFile, AWriterCancelledKeepsThePreviousFileAFinishedOneReplacesIt) {
  const QString name = dir.filePath("log.txt");
  {
    QFile previous(name);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("old\n\r");
  }
  TVexlinDataBinary row(QByteArray(1000, 'a'), spRx);
  TLogFileWriter writer(name);
  ASSERT_TRUE(writer.Open());
  while (writer.Size() < 3 << 20)
    ASSERT_TRUE(writer.Add(&row));
  writer.Cancel();
  EXPECT_FALSE(writer.Add(&row)) << "a cancelled writer takes nothing more";
  EXPECT_FALSE(writer.Commit());
  QFile kept(name);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "old\n\r");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"log.txt"});

  // Finished, the disk's thread replaces the file; the caller only asks.
  TLogFileWriter finished(name);
  ASSERT_TRUE(finished.Open());
  while (finished.Size() < 3 << 20) {
    ASSERT_TRUE(finished.Add(&row));
    if (finished.Behind()) {
      ASSERT_TRUE(finished.WaitForWriter());
    }
  }
  ASSERT_TRUE(finished.Finish());
  TLogFileWriter::TState state;
  while ((state = finished.State()) == TLogFileWriter::TState::Writing)
    ASSERT_TRUE(finished.WaitForWriter());
  EXPECT_EQ(state, TLogFileWriter::TState::Committed);
  EXPECT_TRUE(finished.Cancel()) << "too late to cancel";
  EXPECT_EQ(QFileInfo(name).size(), finished.Size());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"log.txt"});
}

// Loading piece by piece, of any size, gives the rows a whole load gives.
TEST_F(LogFile, ALoaderInPiecesReadsWhatAWholeLoadReads) {
  std::vector<std::unique_ptr<TVexlinDataObject>> owned;
  std::vector<const TVexlinDataObject *> rows;
  for (int i = 0; i < 500; ++i) {
    if (i % 7 == 0)
      owned.push_back(std::make_unique<TVexlinDataLog>(QStringLiteral("line %1").arg(i), 0));
    else
      owned.push_back(
          std::make_unique<TVexlinDataBinary>(QByteArray(i + 1, char(i)), i % 2 ? spRx : spTx));
    rows.push_back(owned.back().get());
  }
  const QString name = dir.filePath("log.txt");
  ASSERT_TRUE(SaveLogFile(name, rows));
  auto texts = [](const std::vector<std::unique_ptr<TVexlinDataObject>> &loaded) {
    std::vector<QByteArray> out;
    for (const auto &o : loaded)
      out.push_back(o->GetText4Save());
    return out;
  };
  std::vector<std::unique_ptr<TVexlinDataObject>> whole;
  ASSERT_TRUE(LoadLogFile(name, [&](auto o) { whole.push_back(std::move(o)); }));
  ASSERT_EQ(whole.size(), rows.size());
  for (const qint64 piece : {1, 97, 4096}) {
    std::vector<std::unique_ptr<TVexlinDataObject>> stepped;
    TLogFileLoader loader(name, [&](auto o) { stepped.push_back(std::move(o)); });
    ASSERT_TRUE(loader.Open());
    EXPECT_EQ(loader.Size(), QFileInfo(name).size());
    qint64 steps = 0;
    while (!loader.AtEnd()) {
      ASSERT_TRUE(loader.Step(piece));
      ++steps;
      EXPECT_LE(loader.Position(), loader.Size());
    }
    EXPECT_EQ(steps, (loader.Size() + piece - 1) / piece + 1) << "one more to see the end";
    EXPECT_EQ(texts(stepped), texts(whole)) << piece;
  }
}

} // namespace
