#include "serial/linesettings.h"
#include "serial/serialsettings.h"

#include <gtest/gtest.h>

namespace {

TEST(SerialSettings, SettingsStrNamesPortRateParityBitsAndStops) {
  TAfSerialSettings settings;
  EXPECT_EQ(settings.SettingsStr(QStringLiteral("ttyUSB0")),
            QStringLiteral("ttyUSB0: 115200,N,8,1"));
  settings.BaudRate = br9600;
  settings.Parity = paEven;
  settings.Databits = db7;
  settings.Stopbits = sbTwo;
  EXPECT_EQ(settings.SettingsStr(QStringLiteral("/dev/pts/3")),
            QStringLiteral("/dev/pts/3: 9600,E,7,2"));
  settings.BaudRate = brUser;
  settings.UserBaudRate = 230400;
  settings.Parity = paSpace;
  settings.Databits = db5;
  settings.Stopbits = sbOneAndHalf;
  EXPECT_EQ(settings.SettingsStr(QStringLiteral("ttyS9")), QStringLiteral("ttyS9: 230400,S,5,1.5"));
}

TEST(SerialSettings, ControlFlagsForEveryFlowControl) {
  struct TCase {
    TAfFlowControl flow;
    bool dtr, rts;
    uint32_t flags;
  };
  // Binary mode always; hardware flow takes its handshake line from DTR/RTS enable.
  const TCase cases[] = {
      {fwNone, true, true, 0x1011},     {fwXOnXOff, true, true, 0x1311},
      {fwRtsCts, true, true, 0x2015},   {fwDtrDsr, true, true, 0x1029},
      {fwNone, false, false, 0x0001},   {fwRtsCts, false, false, 0x2005},
      {fwDtrDsr, false, false, 0x0029}, {fwXOnXOff, false, true, 0x1301},
  };
  for (const TCase &c : cases) {
    TAfSerialSettings settings;
    settings.FlowControl = c.flow;
    settings.DTR = c.dtr;
    settings.RTS = c.rts;
    EXPECT_EQ(settings.BuildDCB().Flags, c.flags) << c.flow << c.dtr << c.rts;
  }
  TAfSerialSettings options;
  options.Options = coParityCheck | coStripNull | coIgnoreXOff;
  EXPECT_EQ(options.BuildDCB().Flags, 0x1011u | 0x0002 | 0x0800 | 0x0080);
}

TEST(SerialSettings, BlockCarriesRateFramingCharactersAndLimits) {
  TAfSerialSettings settings;
  settings.BaudRate = brUser;
  settings.UserBaudRate = 250000;
  settings.Databits = db6;
  settings.Parity = paMark;
  settings.Stopbits = sbTwo;
  settings.FlowControl = fwXOnXOff;
  settings.CalcXOnXOffLimits(4096);
  settings.XOnChar = 0x11;
  settings.XOffChar = 0x13;
  const TAfDCB dcb = settings.BuildDCB();
  EXPECT_EQ(dcb.DCBlength, 28u);
  EXPECT_EQ(dcb.BaudRate, 250000u);
  EXPECT_EQ(dcb.ByteSize, 6);
  EXPECT_EQ(dcb.Parity, 3);
  EXPECT_EQ(dcb.StopBits, 2);
  EXPECT_EQ(dcb.XonLim, 1024);
  EXPECT_EQ(dcb.XoffLim, 3072);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  settings.FlowControl = fwNone;
  settings.CalcXOnXOffLimits(4096);
  EXPECT_EQ(settings.XOnLim, 0);
  EXPECT_EQ(settings.XOffLim, 0);
}

TEST(SerialSettings, TakesABlockFromOutside) {
  struct TCase {
    uint32_t rate, flags;
    uint8_t byteSize, parity, stopBits;
    TAfBaudrate baud;
    uint32_t user;
    TAfFlowControl flow;
    TAfDatabits bits;
    TAfParity par;
    TAfStopbits stops;
  };
  const TCase cases[] = {
      {128000, 0x0001, 8, 0, 0, br128000, 0, fwNone, db8, paNone, sbOne},
      {230400, 0x0001, 7, 2, 2, brUser, 230400, fwNone, db7, paEven, sbTwo},
      {9600, 0x0328, 8, 1, 1, br9600, 0, fwDtrDsr, db8, paOdd, sbOneAndHalf},
      {9600, 0x2304, 8, 0, 0, br9600, 0, fwRtsCts, db8, paNone, sbOne},
      {9600, 0x0300, 5, 4, 0, br9600, 0, fwXOnXOff, db5, paSpace, sbOne},
      {110, 0x0100, 9, 7, 5, br110, 0, fwNone, db8, paNone, sbOne}, // out of range: defaults
  };
  for (const TCase &c : cases) {
    TAfDCB dcb;
    dcb.BaudRate = c.rate;
    dcb.Flags = c.flags;
    dcb.ByteSize = c.byteSize;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stopBits;
    TAfSerialSettings settings;
    settings.TakeDCB(dcb);
    EXPECT_EQ(settings.BaudRate, c.baud) << c.rate;
    EXPECT_EQ(settings.UserBaudRate, c.user) << c.rate;
    EXPECT_EQ(settings.FlowControl, c.flow) << std::hex << c.flags;
    EXPECT_EQ(settings.Databits, c.bits);
    EXPECT_EQ(settings.Parity, c.par);
    EXPECT_EQ(settings.Stopbits, c.stops);
  }
  TAfDCB dcb;
  dcb.Flags = 0x0002 | 0x0040 | 0x0080 | 0x0400 | 0x0800;
  dcb.XonChar = 'q';
  dcb.XoffChar = 's';
  dcb.XonLim = 7;
  dcb.XoffLim = 9;
  TAfSerialSettings settings;
  settings.TakeDCB(dcb);
  EXPECT_EQ(settings.Options,
            coParityCheck | coDsrSensitivity | coIgnoreXOff | coErrorChar | coStripNull);
  EXPECT_EQ(settings.XOnChar, 'q');
  EXPECT_EQ(settings.XOffChar, 's');
  EXPECT_EQ(settings.XOnLim, 7);
  EXPECT_EQ(settings.XOffLim, 9);
}

// What a termios device can and cannot take.
TEST(LineSettings, RefusesWhatATermiosDeviceCannotDo) {
  auto block = [](auto change) {
    TAfSerialSettings settings;
    change(settings);
    return settings.BuildDCB();
  };
  TAfDCB rtsWithoutCts = block([](TAfSerialSettings &) {});
  rtsWithoutCts.Flags = (rtsWithoutCts.Flags & ~kAfDcbRtsControl) | kAfDcbRtsHandshake;
  TAfDCB zeroRate = block([](TAfSerialSettings &s) {
    s.BaudRate = brUser;
    s.UserBaudRate = 0;
  });
  const std::pair<TAfDCB, const char *> refused[] = {
      {block([](TAfSerialSettings &s) { s.Databits = db4; }), "data bits 4"},
      {block([](TAfSerialSettings &s) { s.FlowControl = fwDtrDsr; }), "flow control DTR/DSR"},
      {block([](TAfSerialSettings &s) { s.Stopbits = sbOneAndHalf; }),
       "stop bits 1.5 with 8 data bits"},
      {block([](TAfSerialSettings &s) {
         s.Databits = db5;
         s.Stopbits = sbTwo;
       }),
       "stop bits 2 with 5 data bits"},
      {block([](TAfSerialSettings &s) { s.Options = coDsrSensitivity; }), "driver option 0x0040"},
      {block([](TAfSerialSettings &s) { s.Options = coStripNull; }), "driver option 0x0800"},
      {block([](TAfSerialSettings &s) {
         s.FlowControl = fwXOnXOff;
         s.XOffChar = s.XOnChar;
       }),
       "XON and XOFF both character 17"},
      {rtsWithoutCts, "RTS handshake without CTS flow control"},
      {zeroRate, "baud rate 0"},
  };
  for (const auto &[dcb, reason] : refused) {
    TAfLineSettings line;
    QString why;
    EXPECT_FALSE(AfLineSettingsFromDcb(dcb, line, &why))
        << dcb.ByteSize << " " << int(dcb.StopBits) << " " << std::hex << dcb.Flags;
    EXPECT_EQ(why, QLatin1String(reason));
  }
}

// What the device kept instead of what it was asked, first difference first.
TEST(LineSettings, NamesTheSettingTheDeviceChanged) {
  TAfLineSettings wanted;
  EXPECT_EQ(AfLineSettingsChange(wanted, wanted), QString());
  TAfLineSettings held = wanted;
  held.Parity = 2;
  held.HardwareFlow = true;
  EXPECT_EQ(AfLineSettingsChange(wanted, held), "parity none (the device keeps even)");
  held = wanted;
  held.BaudRate = 115200;
  wanted.BaudRate = 123456;
  EXPECT_EQ(AfLineSettingsChange(wanted, held), "baud rate 123456 (the device keeps 115200)");
  held = wanted;
  held.HardwareFlow = true;
  EXPECT_EQ(AfLineSettingsChange(wanted, held), "flow control RTS/CTS off (the device keeps on)");
}

TEST(LineSettings, TranslatesAndMergesBack) {
  TAfSerialSettings settings;
  settings.BaudRate = brUser;
  settings.UserBaudRate = 31250;
  settings.Databits = db5;
  settings.Stopbits = sbOneAndHalf;
  settings.Parity = paOdd;
  settings.FlowControl = fwRtsCts;
  settings.Options = coParityCheck;
  const TAfDCB dcb = settings.BuildDCB();
  TAfLineSettings line;
  ASSERT_TRUE(AfLineSettingsFromDcb(dcb, line));
  EXPECT_EQ(line.BaudRate, 31250u);
  EXPECT_EQ(line.DataBits, 5);
  EXPECT_TRUE(line.TwoStopBits); // 1.5 stop bits are the two-stop setting at 5 bits
  EXPECT_EQ(line.Parity, 1);
  EXPECT_TRUE(line.HardwareFlow);
  EXPECT_TRUE(line.ParityCheck);
  EXPECT_FALSE(line.XonXoffOutput);

  TAfDCB back = dcb;
  AfMergeLineSettings(line, back);
  EXPECT_EQ(back, dcb);

  // A driver that fell back to 8 data bits and dropped the handshake.
  line.DataBits = 8;
  line.HardwareFlow = false;
  AfMergeLineSettings(line, back);
  EXPECT_EQ(back.ByteSize, 8);
  EXPECT_EQ(back.StopBits, 2);
  EXPECT_EQ(back.Flags & (kAfDcbOutxCtsFlow | kAfDcbRtsControl), 0u);
}

} // namespace
