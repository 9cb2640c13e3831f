// The output stream of one .x file: a host file opened for writing, with the few text
// operations every writer uses, and the file's block structure: every block opened is
// closed through the writer, which checks at the end of the file that none is left open.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"
#include "host/export_status.h"

namespace dorna {

class XTextWriter {
public:
    // Obtains a file object from the host's file service; a refused write is recorded
    // in `status`.
    explicit XTextWriter(ExportStatus& status);
    // Drops the file if its owner neither committed nor discarded it.
    ~XTextWriter();
    XTextWriter(const XTextWriter&) = delete;
    XTextWriter& operator=(const XTextWriter&) = delete;

    // Opens the file for writing on `name`. False, with nothing written, when the host
    // refuses.
    bool open(const KrvFileName* name);

    // Each write passes its bytes to the host's file write; a refusal is recorded as
    // the export's failure. Without an open file nothing is written.
    void writeBytes(const char* bytes, int32_t count);
    void writeText(const char* text);
    // Four blanks per level.
    void writeIndent(int32_t level);
    // A real as "%0.6f" writes it (a 32-bit real is widened first), an integer as "%i".
    // NaN and infinity are written as 0 (see finiteOrZero).
    void writeReal(double value);
    void writeInt(int32_t value);

    // `text` opens a block ("Frame NAME {"), `text` closes one ("}"): the depth they
    // keep must be 0 when the file ends.
    void openBlock(const char* text);
    void closeBlock(const char* text);
    // For text gathered elsewhere (BufferedText) that opens or closes a block.
    void enterBlock() { ++depth_; }
    void leaveBlock() { --depth_; }
    int32_t depth() const { return depth_; }

    // The value, or 0 for NaN and infinity, which no reader takes: counted, so that the
    // object they came from can be named.
    double finiteOrZero(double value);
    // The non-finite values written since the last call.
    int32_t takeNonFiniteCount();

    // The end of the file's text: a block left open (or closed twice) is a failure of
    // the export.
    void finish();
    // Closes the file: the host keeps it unless a write was refused. A refusal at
    // closing is recorded. True when the file was committed.
    bool close();
    // Frees the file object without closing it: the host keeps nothing of it.
    void discard();

    bool isOpen() const { return isOpen_ != 0; }
    bool hasFile() const { return file_ != nullptr; }

private:
    ExportStatus& status_;
    KrvFile file_;
    int32_t isOpen_;
    int32_t depth_;
    int32_t nonFinite_;
};

}  // namespace dorna
