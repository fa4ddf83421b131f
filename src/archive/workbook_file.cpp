// libgsf first: its GLib headers must not meet Qt's keyword macros.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include "archive/workbook_file.h"

#include "link/parameter_catalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// libgsf tells the terminal about a damaged container (warnings, failed assertions) before it
// gives up; the user hears it from our refusal instead.
class QuietGsf {
public:
    QuietGsf()
    {
        for (int i = 0; i < kDomains; ++i)
            ids_[i] = g_log_set_handler(
                kDomain[i], GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    }
    ~QuietGsf()
    {
        for (int i = 0; i < kDomains; ++i)
            g_log_remove_handler(kDomain[i], ids_[i]);
    }
    QuietGsf(const QuietGsf&) = delete;
    QuietGsf& operator=(const QuietGsf&) = delete;

private:
    // libgsf's own, the one of its files that name none, and GObject's
    static constexpr int kDomains = 4;
    static constexpr const char* kDomain[kDomains] = {"libgsf", "libgsf:msole", nullptr, "GLib-GObject"};
    guint ids_[kDomains] = {};
};

// The compound document holding `stream` as its "Workbook", built in memory.
std::variant<QByteArray, QString> containerWith(const QByteArray& stream)
{
    GPtr<GsfOutput> memory(gsf_output_memory_new());
    GPtr<GsfOutfile> ole(gsf_outfile_msole_new(memory.get()));
    GPtr<GsfOutput> workbook(ole ? gsf_outfile_new_child(ole.get(), "Workbook", FALSE) : nullptr);
    if (!workbook) return QStringLiteral("cannot build the container");
    const bool wrote = gsf_output_write(workbook.get(), static_cast<size_t>(stream.size()),
                                        reinterpret_cast<const guint8*>(stream.constData()));
    QString problem = outputError(workbook.get());
    const bool closed = gsf_output_close(workbook.get()) && gsf_output_close(GSF_OUTPUT(ole.get()));
    if (problem.isEmpty()) problem = outputError(GSF_OUTPUT(ole.get()));
    if (!wrote || !closed || !problem.isEmpty())
        return problem.isEmpty() ? QStringLiteral("cannot build the container") : problem;
    const auto* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes),
                      static_cast<qsizetype>(gsf_output_size(memory.get())));
}

// A killed save leaves its temporary file behind (".gsf-save-" ones come from our saves through
// libgsf). A save takes milliseconds: one of ours untouched for a minute is no save in progress.
void removeStrayTemporaries(const QString& folder)
{
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-60);
    const QFileInfoList found =
        QDir(folder).entryInfoList({QStringLiteral(".orvane-save-*"), QStringLiteral(".gsf-save-*")},
                                   QDir::Files | QDir::Hidden | QDir::NoSymLinks);
    for (const QFileInfo& file : found)
        if (file.lastModified() < stale && file.ownerId() == ::geteuid()) QFile::remove(file.filePath());
}

bool writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// Writes a temporary file beside the target, on the disk before it replaces the target: a
// crash at any moment leaves either the old file or the new one. The target keeps its
// permissions; a link is followed, the file it names is replaced. The reason on failure.
std::optional<QString> replaceFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo link(path);
    const QString target = link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath();
    const QString folder = QFileInfo(target).absolutePath();
    removeStrayTemporaries(folder);

    struct stat old {};
    const bool replacing = ::stat(QFile::encodeName(target).constData(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return QStringLiteral("not a file");
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        const QString name = QStringLiteral(".orvane-save-%1")
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        temporary = QFile::encodeName(QDir(folder).filePath(name));
        // a new workbook gets the permissions the user's umask gives
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return qt_error_string(errno);
    const bool written =
        writeAll(fd, bytes) && (!replacing || ::fchmod(fd, old.st_mode & 07777) == 0) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written ||
        ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.constData());
        return qt_error_string(error);
    }
    // the rename itself is on the disk once the folder is
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

} // namespace

std::optional<WorkbookProblem> writeWorkbookFile(const QString& path, const VehicleSet& set,
                                                 std::optional<Language> rowNames)
{
    return writeWorkbookStreamFile(path, buildWorkbookStream(set, rowNames));
}

std::optional<WorkbookProblem> writeWorkbookStreamFile(const QString& path, const QByteArray& stream)
{
    ensureGsf();
    // the reason goes after the user's path: never a temporary file's name
    const auto failed = [&path](const QString& reason) {
        return WorkbookProblem{WorkbookProblem::Kind::WriteFailed,
                               {},
                               QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason};
    };
    QuietGsf quiet;
    const auto container = containerWith(stream);
    if (const auto* reason = std::get_if<QString>(&container)) return failed(*reason);
    if (const auto reason = replaceFile(path, std::get<QByteArray>(container))) return failed(*reason);
    return std::nullopt;
}

std::variant<VehicleSet, WorkbookProblem> readWorkbookFile(const QString& path)
{
    ensureGsf();
    QuietGsf quiet;
    const QFileInfo info(path);
    if (!info.exists()) return WorkbookProblem{WorkbookProblem::Kind::FileMissing, {}, path};
    if (!info.isFile() || !info.isReadable())
        return WorkbookProblem{WorkbookProblem::Kind::FileUnreadable, {}, path};

    GError* error = nullptr;
    GPtr<GsfInput> file(gsf_input_stdio_new(QFile::encodeName(path).constData(), &error));
    if (!file) return WorkbookProblem{WorkbookProblem::Kind::FileUnreadable, {}, takeMessage(error, path)};
    GPtr<GsfInfile> ole(gsf_infile_msole_new(file.get(), &error));
    if (!ole) {
        // a compound document's signature on a file libgsf cannot open: one cut short or damaged
        const QString reason = takeMessage(error, QStringLiteral("container"));
        QFile head(path);
        if (head.open(QIODevice::ReadOnly) &&
            head.read(8) == QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8))
            return WorkbookProblem{WorkbookProblem::Kind::Damaged, {}, reason};
        return WorkbookProblem{WorkbookProblem::Kind::NotAWorkbook, {}, {}};
    }
    GPtr<GsfInput> workbook;
    for (const char* name : {"Workbook", "Book"}) {
        bool listed = false;
        for (int i = 0; i < gsf_infile_num_children(ole.get()); ++i)
            listed = listed || qstrcmp(gsf_infile_name_by_index(ole.get(), i), name) == 0;
        if (!listed) continue;
        workbook.reset(gsf_infile_child_by_name(ole.get(), name));
        if (!workbook)
            return WorkbookProblem{WorkbookProblem::Kind::Damaged, {}, QStringLiteral("stream unreadable")};
        break;
    }
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
