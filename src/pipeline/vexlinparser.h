#pragma once

#include "pipeline/vexlinbuffer.h"

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class TVexlinDataObject;

// Far above any maximum packet length the user can set: a parser never lets
// a buffer grow past it. Beyond it the oldest bytes are cut off as binary
// packets of kParserSafetyCut bytes, so nothing is dropped, memory stays
// bounded and no row of the packet list becomes monstrously tall.
constexpr int32_t kParserSafetyCap = 1024 * 1024;
constexpr int32_t kParserSafetyCut = 64 * 1024;

// Decides where one received packet ends. Parse cuts one packet off the front
// of the buffer and hands it out as a new data object (received, no time
// yet); it keeps no state between calls. Settings may be changed by the UI
// thread while a transport thread parses: each is read once per call.
class TVexlinParser {
public:
  virtual ~TVexlinParser() = default;

  virtual bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado);
  // The silence (in ArrivalNow units) after which this parser closes a
  // packet without further bytes, so the receiving side knows when to run
  // it again; -1 for parsers that cut by the bytes alone.
  virtual int64_t ClosingPause() const { return -1; }

  // The shared maximum packet length in bytes; 0 switches the cut off.
  static std::atomic<int32_t> MaxLength;

protected:
  // How many bytes that make no packet a parser lets pile up: the maximum
  // length, or the safety cap where the cut is switched off.
  static int32_t CutLimit() {
    const int32_t maxLength = MaxLength.load(std::memory_order_relaxed);
    return maxLength > 0 ? maxLength : kParserSafetyCap;
  }
  // Cuts exactly `count` bytes off the front as a binary packet.
  static bool CutBinary(TVexlinBuffer &buffer, int32_t count,
                        std::unique_ptr<TVexlinDataObject> &Ado);
  // The safety cut: once the buffer holds `limit` bytes, the oldest go.
  static bool CutOverflow(TVexlinBuffer &buffer, int32_t limit,
                          std::unique_ptr<TVexlinDataObject> &Ado);
};

// Pelmar 97 frames, found by "*a" and their length field.
class TVexlinParser_S97 : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;
};

// Packets of a fixed length; 0 switches the parser off.
class TVexlinParser_Length : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;

  int32_t DataLength() const { return fDataLength.load(std::memory_order_relaxed); }
  void SetDataLength(int32_t value) { fDataLength.store(value, std::memory_order_relaxed); }

private:
  std::atomic<int32_t> fDataLength{0};
};

// Packets that end with a byte sequence; an empty suffix never ends one.
class TVexlinParser_Sufix : public TVexlinParser {
public:
  bool Parse(TVexlinBuffer &AtxBuffer, std::unique_ptr<TVexlinDataObject> &Ado) override;

  QByteArray Sufix() const;
  void SetSufix(const QByteArray &value);

private:
  mutable std::mutex fLock; // QByteArray assignment is not atomic
  QByteArray fSufix;
};
