#include "xfile/non_finite_report.h"

#include "host/host.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

void reportNonFinite(ExportContext& context, KrvObject object) {
    const int32_t count = context.writer.takeNonFiniteCount();
    if (count == 0) return;
    const NameText name = frameName(context.names, object);
    ConsoleLine("Dorna: ")
        .add(name.text, name.length)
        .add(": ")
        .add(count)
        .add(" values beyond the range of numbers (NaN or infinity) were written as 0")
        .print();
}

}  // namespace dorna
