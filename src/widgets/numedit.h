#pragma once

// Numeric edit boxes: a line edit with a pair of up/down arrows at its right
// edge that takes only digits and "-" from the keyboard and steps its value
// with the arrows, the cursor keys, Page Up/Down and the mouse wheel.

#include <QLineEdit>
#include <QString>
#include <QWidget>
#include <cstdint>

class QToolButton;

enum class TNumEditButton { Up, Down };

// The arrow pair shown inside a numeric edit box. It only reports clicks; the
// box decides what a click means.
class TNumEditUpDown : public QWidget {
  Q_OBJECT

public:
  explicit TNumEditUpDown(QWidget *parent = nullptr);

  QToolButton *UpButton() const { return fUp; }
  QToolButton *DownButton() const { return fDown; }

signals:
  void Clicked(TNumEditButton button);

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  QToolButton *fUp;
  QToolButton *fDown;
};

// The generic numeric edit box. Derived classes give the value a meaning by
// overriding MultiButtonClick, ToString and IsValid.
class TMyCustomNumEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(bool UpDownEnable READ UpDownEnable WRITE SetUpDownEnable)
  Q_PROPERTY(bool EditorEnabled READ EditorEnabled WRITE SetEditorEnabled)
  Q_PROPERTY(bool Colored READ Colored WRITE SetColored)
  Q_PROPERTY(bool AutoCorrect READ AutoCorrect WRITE SetAutoCorrect)
  Q_PROPERTY(bool FailureBeep READ FailureBeep WRITE SetFailureBeep)
  Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
  Q_PROPERTY(QString ShowName READ ShowName WRITE SetShowName)

public:
  explicit TMyCustomNumEdit(QWidget *parent = nullptr);

  TNumEditUpDown *UpDown() const { return FUpDown; }

  bool UpDownEnable() const { return FUpDownEnable; }
  void SetUpDownEnable(bool value);
  // Whether pasting and cutting are allowed (never while read-only).
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool value) { FEditorEnabled = value; }
  // Shows negative numbers in red.
  bool Colored() const { return FColored; }
  void SetColored(bool value);
  // Out-of-range or unreadable text is corrected (true) or refused (false).
  bool AutoCorrect() const { return FAutoCorrect; }
  void SetAutoCorrect(bool value) { FAutoCorrect = value; }
  bool FailureBeep() const { return FFailureBeep; }
  void SetFailureBeep(bool value) { FFailureBeep = value; }
  // Select the whole text when the box is entered by keyboard.
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool value) { FAutoSelect = value; }
  QString ShowName() const { return FShowName; }
  void SetShowName(const QString &value) { FShowName = value; }

  // One step of the value; Page steps by a page, Fast (Ctrl held) by ten.
  virtual void MultiButtonClick(TNumEditButton Button, bool Page, bool Fast);
  // Shows the value as text; the generic box has no value and empties it.
  virtual void ToString();
  // Validates the text; true lets the focus go.
  virtual bool IsValid();

signals:
  // Every change of the text, typed or set.
  void Change();

protected:
  bool event(QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void changeEvent(QEvent *event) override;

  bool EditingAllowed() const { return FEditorEnabled && !isReadOnly(); }
  // Refuses a value: beeps when asked to.
  void Fail();

private:
  void ButtonClick(TNumEditButton button);
  void Realign();
  void UpdateTextColour();

  TNumEditUpDown *FUpDown;
  bool FUpDownEnable = true;
  bool FEditorEnabled = true;
  bool FColored = false;
  bool FAutoCorrect = true;
  bool FFailureBeep = false;
  bool FAutoSelect = true;
  QString FShowName = QStringLiteral("Hodnota");
  int fWheelRest = 0;
  bool fShowingRed = false;
};

// An integer edit box with a range, a step and a page multiplier. Every
// integer field of the program uses it.
class TIntEdit : public TMyCustomNumEdit {
  Q_OBJECT
  Q_PROPERTY(int Value READ GetValue WRITE SetValue)
  Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
  Q_PROPERTY(int Increment READ Increment WRITE SetIncrement)
  Q_PROPERTY(int PageMult READ PageMult WRITE SetPageMult)

public:
  explicit TIntEdit(QWidget *parent = nullptr);

  // What the text says now, typed or not yet validated; 0 when it is not an
  // integer.
  int GetValue() const;
  // Clamps into [MinValue, MaxValue] and shows the result.
  void SetValue(int V);
  int MinValue() const { return FMinValue; }
  void SetMinValue(int V);
  int MaxValue() const { return FMaxValue; }
  void SetMaxValue(int V);
  int Increment() const { return fIncrement; }
  // Ignored unless V > 0.
  void SetIncrement(int V);
  int PageMult() const { return FMult; }
  void SetPageMult(uint16_t V) { FMult = V; }

  void MultiButtonClick(TNumEditButton Button, bool Page, bool Fast) override;
  void ToString() override;
  bool IsValid() override;

signals:
  // The value the text now reads as (see GetValue), on every text change.
  void valueChanged(int value);

private:
  int CheckMinMax(qint64 V) const;

  int FValue = 0;
  int FMinValue = 0;
  int FMaxValue = 100;
  int fIncrement = 1;
  uint16_t FMult = 10;
};

// Integer text as the edit boxes read it: optional leading spaces and sign,
// then decimal digits or hexadecimal digits after "$", "x" or "0x"; the whole
// text must be used and the value must fit in 32 bits.
bool ParseIntText(const QString &text, int &value);
// The value kept from text that is not an integer: the sign and the decimal
// digits it starts with (saturating), 0 when there are none.
qint64 LeadingIntText(const QString &text);
