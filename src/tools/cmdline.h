#pragma once

// The command-line edit: one line of command text (plain characters and
// brace groups such as "{0x0D}") with the groups drawn in blue and a little
// typing help for braces. The command line of the main window and every row
// of the command table use it.

#include <QByteArray>
#include <QLineEdit>
#include <QList>
#include <QString>

struct TTextRange {
  qsizetype start;
  qsizetype length;
  friend bool operator==(const TTextRange &, const TTextRange &) = default;
};

// The character ranges drawn in blue: every character from a "{" up to and
// including the next "}". Groups do not nest, a "}" outside a group is plain
// and an unclosed group runs to the end of the text.
QList<TTextRange> BraceGroupRanges(const QString &text);

// Command text as typed to the bytes it stands for: Windows-1250, then the
// command text syntax; appendCR adds 0x0D. Raises EPtError for a group
// without its closing brace and for an unreadable hexadecimal number.
QByteArray PrepareCommandBytes(const QString &text, bool appendCR);

class TPelmarCmdLine : public QLineEdit {
  Q_OBJECT

public:
  explicit TPelmarCmdLine(QWidget *parent = nullptr);

  static QColor GroupColour() { return QColor(0, 0, 255); }

signals:
  // Enter or Return; the key never enters the text.
  void EnterPressed();

protected:
  bool event(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  // Hands the blue ranges to the edit's own text layout, so that caret,
  // selection and scrolling stay the edit box's.
  void ApplyGroupColours();
  void InsertBracePair();
  bool SkipClosingBrace();
};
