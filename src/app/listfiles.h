#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QElapsedTimer;
class QTimer;
class TLogFileLoader;
class TLogFileWriter;
class TStatusProgress;
class TVexlinDataObject;

// The rows to save, by position; they must stay alive and in place until the
// save ends (the window keeps the list from being cleared meanwhile).
struct TListRows {
  size_t Count = 0;
  std::function<const TVexlinDataObject *(size_t)> At;
};

// Saves rows of the packet list to a log file, and loads one into the list,
// in slices on the UI thread, each in its own turn of the event loop, so a
// list of gigabytes never freezes the window. The rows belong to the list
// and are not shared: a writer thread would race with rows arriving and with
// a clear, while a slice of the UI thread sees the list between changes.
// Meanwhile the status bar shows how far it is, with a button that cancels.
//
// A slice does at least a small piece of work, then goes on until its time
// is up: a small list is saved or loaded within the call that starts it,
// with no bar shown at all.
class TListFiles : public QObject {
  Q_OBJECT
public:
  // Takes the rows a slice of a load has read, in file order.
  using TAppend = std::function<void(std::vector<std::unique_ptr<TVexlinDataObject>> &rows)>;

  enum TOutcome { Done, Failed, Cancelled };

  explicit TListFiles(TStatusProgress &progress, QObject *parent = nullptr);
  // An unfinished save leaves the old file as it was.
  ~TListFiles() override;

  // Starts a save or a load; false, with nothing started and `error` set, when
  // the file cannot be created or opened, or while another one runs.
  bool Save(const QString &fileName, TListRows rows, QString *error = nullptr);
  bool Load(const QString &fileName, TAppend append, QString *error = nullptr);
  bool Busy() const { return fRunning; }
  // Ends what runs: a save leaves the old file exactly as it was and removes
  // its temporary file; a load keeps the rows it has handed over.
  void Cancel();

  // How long a slice may run on; 0 makes every slice do only its least
  // piece (tests use it to have many slices of a small list).
  void SetSliceBudget(std::chrono::milliseconds budget) { fBudget = budget; }
  // Slices run for the current or last task.
  int SliceCount() const { return fSlices; }

signals:
  // A task did not end within its first slice; the window keeps a second
  // one, and a clear, from starting until it has.
  void busyChanged(bool busy);
  // A save or load ended: `rows` saved or loaded, `error` for Failed.
  void finished(TListFiles::TOutcome outcome, bool saving, const QString &fileName, qint64 rows,
                const QString &error);

private:
  void Begin(const QString &fileName, bool saving);
  void Slice();
  // One slice of work; true when the task has ended (End called).
  bool SaveSlice(const QElapsedTimer &clock);
  bool LoadSlice(const QElapsedTimer &clock);
  void HandOverLoaded();
  void End(TOutcome outcome, const QString &error = QString());

  TStatusProgress &fProgress;
  QTimer *fTimer = nullptr;
  // With the rows' appending and a repaint, a turn stays within about 20 ms.
  std::chrono::milliseconds fBudget{10};
  bool fRunning = false; // started and not ended
  bool fShowing = false; // went on past its first slice
  bool fSaving = false;
  QString fFileName;
  int fSlices = 0;

  std::unique_ptr<TLogFileWriter> fWriter;
  TListRows fRows;
  size_t fNext = 0;
  bool fFinishing = false; // every row is in; the disk finishes the file
  bool fPause = false;     // the next slice waits a little for the disk

  std::unique_ptr<TLogFileLoader> fLoader;
  std::vector<std::unique_ptr<TVexlinDataObject>> fLoaded;
  qint64 fLoadedRows = 0;
  TAppend fAppend;
};
