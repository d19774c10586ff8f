// How the DCB-style line settings and time-outs map onto a Linux terminal (termios2).
//
//   baudRate            c_ispeed = c_ospeed = baudRate, CBAUD = BOTHER (any rate, e.g. 28800)
//   byteSize 5..8       CSIZE = CS5..CS8
//   parity              None: PARENB off; Odd: PARENB|PARODD; Even: PARENB;
//                       Mark / Space: PARENB|CMSPAR with PARODD for Mark
//   parityCheck         INPCK (received parity checked; bad bytes are dropped: IGNPAR)
//   stopBits            One: CSTOPB off; OneHalf, Two: CSTOPB
//   outxCtsFlow         CRTSCTS (the terminal has a single switch for CTS and RTS flow)
//   rtsControl          Handshake also sets CRTSCTS; Enable / Disable raise / drop RTS
//   dtrControl          Enable / Disable raise / drop DTR (modem lines, where the device has them)
//   outX / inX          IXON / IXOFF; xonChar / xoffChar: c_cc[VSTART] / c_cc[VSTOP]
//   binary              always raw: no canonical mode, echo, signals or output processing
//   nullStrip           IGNBRK only; a terminal cannot strip NUL bytes
//   txContinueOnXoff, abortOnError, errorChar, dsrSensitivity, outxDsrFlow, xonLim, xoffLim,
//   evtChar, eofChar, errorCharValue
//                       no terminal equivalent: kept by the port and read back as set
//   CLOCAL, CREAD       always on: modem status lines never block the port
//
// Time-outs: a read interval of 0xFFFFFFFF with both read totals 0 means "return at once"
// (VMIN 0, VTIME 0). Other read time-outs wait for the first byte up to the read constant plus
// one multiplier, in tenths of a second rounded up (VMIN 0, VTIME n, at most 25.5 s). Write
// time-outs have no terminal equivalent; writes block until the bytes are queued.
#ifndef PLATFORM_POSIX_LINE_TERMIOS_H
#define PLATFORM_POSIX_LINE_TERMIOS_H

#include <asm/termbits.h>

#include "platform/serial_port.h"

namespace platform::posix {

// Writes the terminal-backed fields of `line` into `tio`, leaving unrelated flags alone.
void applyLineSettings(const LineSettings& line, termios2& tio);
// Updates the terminal-backed fields of `line` from `tio`; the others are left as they are.
void readLineSettings(const termios2& tio, LineSettings& line);
void applyTimeouts(const Timeouts& timeouts, termios2& tio);

}  // namespace platform::posix

#endif  // PLATFORM_POSIX_LINE_TERMIOS_H
