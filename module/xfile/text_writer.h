// The output stream of one .x file: a host file opened for writing, with the few text
// operations every writer uses. Opening writes the file's header.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"

namespace dorna {

// writeHostString converts through one buffer of this size: strings are cut to
// kHostStringBufferSize - 1 characters.
constexpr int32_t kHostStringBufferSize = 512000;

class XTextWriter {
public:
    // Obtains a file object from the host's file service.
    XTextWriter();
    // Closes the writer if its owner has not.
    ~XTextWriter();
    XTextWriter(const XTextWriter&) = delete;
    XTextWriter& operator=(const XTextWriter&) = delete;

    // Opens the file for writing on `name` and writes the header (with the current
    // export settings). False, with nothing written, when the host refuses.
    bool open(const KrvFileName* name);

    // Each write passes its bytes to the host's file write and hands back its answer
    // (nonzero: every byte accepted). Without a file object nothing is written.
    int32_t writeBytes(const char* bytes, int32_t count);
    int32_t writeText(const char* text);
    // The string as 8-bit text, cut to its first kHostStringBufferSize - 1 characters.
    int32_t writeHostString(const HostString& text);
    // Four blanks per level. Writes nothing and answers 0 when the file is not open.
    int32_t writeIndent(int32_t level);
    // A real as "%0.6f" writes it (a 32-bit real is widened first), an integer as "%i".
    // NaN and infinity are written as 0 (see finiteOrZero).
    int32_t writeReal(double value);
    int32_t writeInt(int32_t value);

    // The value, or 0 for NaN and infinity, which no reader takes: counted, so that the
    // object they came from can be named.
    double finiteOrZero(double value);
    // The non-finite values written since the last call.
    int32_t takeNonFiniteCount();

    // For a writer that cannot finish its part of the file (the host refused memory):
    // the file must not be kept, as it would lack what the scene holds.
    void markIncomplete() { incomplete_ = 1; }

    // Closes the file if it is open and frees the file object. A file with a failed
    // write is dropped by the host; an incomplete file is freed without being closed,
    // so it is not committed either. True when the file was committed whole.
    bool close();

    bool isOpen() const { return isOpen_ != 0; }
    // True once a write was refused by the host.
    bool writeFailed() const { return writeFailed_ != 0; }
    bool incomplete() const { return incomplete_ != 0; }
    bool hasFile() const { return file_ != nullptr; }

private:
    KrvFile file_;
    int32_t isOpen_;
    int32_t writeFailed_;
    int32_t incomplete_;
    int32_t nonFinite_;
};

}  // namespace dorna
