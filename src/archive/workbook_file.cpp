// libgsf first: its GLib headers must not meet Qt's keyword macros.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include "archive/workbook_file.h"

#include "link/parameter_catalogue.h"

#include <QFileInfo>

#include <memory>
#include <mutex>

namespace {

void ensureGsf()
{
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

struct GObjectUnref {
    void operator()(gpointer p) const
    {
        if (p) g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectUnref>;

QString takeMessage(GError*& error, const QString& fallback)
{
    if (!error) return fallback;
    const QString message = QString::fromUtf8(error->message);
    g_clear_error(&error);
    return message;
}

QString outputError(GsfOutput* output)
{
    const GError* error = gsf_output_error(output);
    return error ? QString::fromUtf8(error->message) : QString();
}

} // namespace

std::optional<WorkbookProblem> writeWorkbookFile(const QString& path, const VehicleSet& set)
{
    return writeWorkbookStreamFile(path, buildWorkbookStream(set));
}

std::optional<WorkbookProblem> writeWorkbookStreamFile(const QString& path, const QByteArray& stream)
{
    ensureGsf();
    const auto failed = [](const QString& reason) {
        return WorkbookProblem{WorkbookProblem::Kind::WriteFailed, {}, reason};
    };

    GError* error = nullptr;
    // writes to a temporary file beside the target and renames it over the target on close
    GPtr<GsfOutput> file(gsf_output_stdio_new(QFile::encodeName(path).constData(), &error));
    if (!file) return failed(takeMessage(error, path));
    GPtr<GsfOutfile> ole(gsf_outfile_msole_new(file.get()));
    if (!ole) return failed(QStringLiteral("cannot start the container"));
    GPtr<GsfOutput> workbook(gsf_outfile_new_child(ole.get(), "Workbook", FALSE));
    if (!workbook) return failed(QStringLiteral("cannot add the workbook stream"));

    const bool wrote = gsf_output_write(workbook.get(), static_cast<size_t>(stream.size()),
                                        reinterpret_cast<const guint8*>(stream.constData()));
    QString problem = outputError(workbook.get());
    const bool streamClosed = gsf_output_close(workbook.get());
    const bool oleClosed = gsf_output_close(GSF_OUTPUT(ole.get()));
    if (problem.isEmpty()) problem = outputError(GSF_OUTPUT(ole.get()));
    const bool fileClosed = gsf_output_is_closed(file.get()) || gsf_output_close(file.get());
    if (problem.isEmpty()) problem = outputError(file.get());
    if (!wrote || !streamClosed || !oleClosed || !fileClosed || !problem.isEmpty())
        return failed(problem.isEmpty() ? QStringLiteral("write error") : problem);
    return std::nullopt;
}

std::variant<VehicleSet, WorkbookProblem> readWorkbookFile(const QString& path)
{
    ensureGsf();
    const QFileInfo info(path);
    if (!info.exists()) return WorkbookProblem{WorkbookProblem::Kind::FileMissing, {}, path};
    if (!info.isFile() || !info.isReadable())
        return WorkbookProblem{WorkbookProblem::Kind::FileUnreadable, {}, path};

    GError* error = nullptr;
    GPtr<GsfInput> file(gsf_input_stdio_new(QFile::encodeName(path).constData(), &error));
    if (!file) return WorkbookProblem{WorkbookProblem::Kind::FileUnreadable, {}, takeMessage(error, path)};
    GPtr<GsfInfile> ole(gsf_infile_msole_new(file.get(), &error));
    if (!ole) {
        g_clear_error(&error);
        return WorkbookProblem{WorkbookProblem::Kind::NotAWorkbook, {}, {}};
    }
    GPtr<GsfInput> workbook(gsf_infile_child_by_name(ole.get(), "Workbook"));
    if (!workbook) workbook.reset(gsf_infile_child_by_name(ole.get(), "Book"));
    if (!workbook) return WorkbookProblem{WorkbookProblem::Kind::NotAWorkbook, {}, {}};

    // A stream can hold no more than the file; read piece by piece so a size that lies cannot
    // make us allocate more than there is.
    const gsf_off_t claimed = gsf_input_size(workbook.get());
    if (claimed < 0 || claimed > info.size())
        return WorkbookProblem{
            WorkbookProblem::Kind::Damaged, {}, QStringLiteral("stream larger than the file")};
    QByteArray stream;
    gsf_off_t remaining = claimed;
    while (remaining > 0) {
        const size_t chunk = static_cast<size_t>(std::min<gsf_off_t>(remaining, 65536));
        const guint8* data = gsf_input_read(workbook.get(), chunk, nullptr);
        if (!data)
            return WorkbookProblem{WorkbookProblem::Kind::Damaged, {}, QStringLiteral("stream cut short")};
        stream.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(chunk));
        remaining -= static_cast<gsf_off_t>(chunk);
    }
    return parseWorkbookStream(stream);
}

VehicleSet vehicleSetOf(const SharedState& state)
{
    VehicleSet set;
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        set.parameters[id] = state.parameterValues[id];
    set.cells = state.tableCells;
    return set;
}

std::optional<WorkbookProblem> loadWorkbookIntoPending(const QString& path, SharedState& state)
{
    auto result = readWorkbookFile(path);
    if (auto* problem = std::get_if<WorkbookProblem>(&result)) return *problem;
    const VehicleSet& set = std::get<VehicleSet>(result);
    for (int id = 1; id <= kArchivedParameterCount; ++id)
        state.pendingParameterValues[id] = set.parameters[id];
    state.pendingTableCells = set.cells;
    return std::nullopt;
}
