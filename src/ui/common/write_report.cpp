#include "ui/common/write_report.h"

#include "ui/common/app_context.h"

namespace {
constexpr LocalText kTitle{"ORVANE - Scrittura in centralina", "ORVANE - Writing to the ECU",
                           "ORVANE - Beyne yazma"};
} // namespace

bool beginWrite(AppContext& ctx, const Writer& writer, const std::vector<WriteValue>& values)
{
    if (ctx.writes.begin(writer, values)) return true;
    const Language language = languageOf(ctx.state.languageIndex);
    ctx.showMessage(kTitle.in(language), writeRefusalText(ctx.writes, language));
    return false;
}

bool ecuFreeForWriting(AppContext& ctx)
{
    if (!ctx.writes.busy() && !ctx.writes.ecuUnverified()) return true;
    const Language language = languageOf(ctx.state.languageIndex);
    ctx.showMessage(kTitle.in(language), writeRefusalText(ctx.writes, language));
    return false;
}

bool claimEcu(AppContext& ctx, const Writer& writer)
{
    if (ctx.writes.claim(writer)) return true;
    const Language language = languageOf(ctx.state.languageIndex);
    ctx.showMessage(kTitle.in(language), writeRefusalText(ctx.writes, language));
    return false;
}

void tellWriteEnded(AppContext& ctx, const WriteReport& report)
{
    if (report.complete()) return;
    const Language language = languageOf(ctx.state.languageIndex);
    ctx.showMessage(kTitle.in(language), writeReportText(report, language, ctx.link.portName()));
}
