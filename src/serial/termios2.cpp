// Kernel termios headers only: <asm/termbits.h> redefines struct termios,
// so <termios.h> must not come in here.
#include "serial/termios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace {

tcflag_t SizeFlag(uint8_t dataBits) {
  switch (dataBits) {
  case 5:
    return CS5;
  case 6:
    return CS6;
  case 7:
    return CS7;
  default:
    return CS8;
  }
}

uint8_t DataBits(tcflag_t cflag) {
  switch (cflag & CSIZE) {
  case CS5:
    return 5;
  case CS6:
    return 6;
  case CS7:
    return 7;
  default:
    return 8;
  }
}

tcflag_t ParityFlags(uint8_t parity) {
  switch (parity) {
  case 1:
    return PARENB | PARODD;
  case 2:
    return PARENB;
  case 3:
    return PARENB | PARODD | CMSPAR;
  case 4:
    return PARENB | CMSPAR;
  default:
    return 0;
  }
}

uint8_t Parity(tcflag_t cflag) {
  if (!(cflag & PARENB))
    return 0;
  if (cflag & CMSPAR)
    return (cflag & PARODD) ? 3 : 4;
  return (cflag & PARODD) ? 1 : 2;
}

} // namespace

bool AfApplyLineSettings(int fd, const TAfLineSettings &line) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0)
    return false;
  // Raw bytes both ways: no line editing, echo, signals or translations.
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY |
                 INPCK | IGNPAR | IUCLC | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT) | SizeFlag(line.DataBits) |
               ParityFlags(line.Parity) | (line.TwoStopBits ? CSTOPB : 0) |
               (line.HardwareFlow ? CRTSCTS : 0);
  t.c_iflag |= (line.ParityCheck ? INPCK : 0) | (line.XonXoffOutput ? IXON : 0) |
               (line.XonXoffInput ? IXOFF : 0);
  t.c_ispeed = t.c_ospeed = line.BaudRate;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = line.XonChar;
  t.c_cc[VSTOP] = line.XoffChar;
  return ioctl(fd, TCSETS2, &t) == 0;
}

bool AfReadLineSettings(int fd, TAfLineSettings &line) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) != 0)
    return false;
  line.BaudRate = t.c_ospeed;
  line.DataBits = DataBits(t.c_cflag);
  line.Parity = Parity(t.c_cflag);
  line.TwoStopBits = t.c_cflag & CSTOPB;
  line.ParityCheck = t.c_iflag & INPCK;
  line.HardwareFlow = t.c_cflag & CRTSCTS;
  line.XonXoffOutput = t.c_iflag & IXON;
  line.XonXoffInput = t.c_iflag & IXOFF;
  line.XonChar = t.c_cc[VSTART];
  line.XoffChar = t.c_cc[VSTOP];
  return true;
}
