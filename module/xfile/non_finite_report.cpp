#include "xfile/non_finite_report.h"

#include <cstring>

#include "host/host.h"
#include "host/host_array.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/number_format.h"
#include "xfile/text_writer.h"

namespace dorna {

void reportNonFinite(ExportContext& context, KrvObject object) {
    const int32_t count = context.writer.takeNonFiniteCount();
    if (count == 0) return;
    constexpr char kHead[] = "Dorna: ";
    constexpr char kTail[] = " values beyond the range of numbers (NaN or infinity) were written as 0";
    const NameText name = frameName(context.names, object);
    const size_t size = sizeof kHead + static_cast<size_t>(name.length) + 2 + kIntTextCapacity + sizeof kTail;
    HostArray<char> line;
    if (!line.allocate(static_cast<int64_t>(size))) {
        printLine("Dorna: values beyond the range of numbers (NaN or infinity) were written as 0");
        return;
    }
    size_t n = 0;
    std::memcpy(line, kHead, sizeof kHead - 1);
    n += sizeof kHead - 1;
    std::memcpy(line + n, name.text, static_cast<size_t>(name.length));
    n += static_cast<size_t>(name.length);
    std::memcpy(line + n, ": ", 2);
    n += 2;
    n += static_cast<size_t>(formatInt(line + n, count));
    std::memcpy(line + n, kTail, sizeof kTail);
    printLine(line);
}

}  // namespace dorna
