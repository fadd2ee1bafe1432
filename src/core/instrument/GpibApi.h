#pragma once

namespace merilog {

// The entry points of linux-gpib's libgpib that the GPIB backend uses, as
// function pointers so the library can be loaded at run time (or replaced in tests).
struct GpibApi {
  int (*ibdev)(int board, int pad, int sad, int timeout, int sendEoi, int eos) = nullptr;
  int (*ibwrt)(int ud, const void* data, long count) = nullptr;
  int (*ibrd)(int ud, void* data, long count) = nullptr;
  int (*ibtmo)(int ud, int timeoutCode) = nullptr;
  int (*ibclr)(int ud) = nullptr;
  int (*ibonl)(int ud, int online) = nullptr;
  int (*ibln)(int ud, int pad, int sad, short* foundListener) = nullptr;
  // The error code and byte count of the last call: the thread-safe accessors
  // when the library has them, else its global variables.
  int (*threadIberr)() = nullptr;
  long (*threadIbcntl)() = nullptr;
  int (*threadIbcnt)() = nullptr;
  volatile int* iberr = nullptr;
  volatile long* ibcntl = nullptr;
  volatile int* ibcnt = nullptr;

  int LastError() const { return threadIberr ? threadIberr() : iberr ? *iberr : -1; }
  long LastCount() const {
    if (threadIbcntl) return threadIbcntl();
    if (threadIbcnt) return threadIbcnt();
    if (ibcntl) return *ibcntl;
    return ibcnt ? *ibcnt : 0;
  }
};

namespace gpib {
// ibsta bits
constexpr int kErr = 0x8000;
constexpr int kTimo = 0x4000;
constexpr int kEnd = 0x2000;
// iberr codes
constexpr int kEdvr = 0;  // system error
constexpr int kEnol = 2;  // no listeners on the bus
constexpr int kEabo = 6;  // I/O aborted, as on a time-out
constexpr int kEneb = 7;  // board does not exist or is offline
// ibdev/ibln address arguments
constexpr int kNoSad = 0;
constexpr int kSadBase = 0x60;  // secondary address n is passed as kSadBase + n
}  // namespace gpib

}  // namespace merilog
