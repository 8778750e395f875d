#include "core/library/StorePersistence.h"

#include "core/foundation/HeapLimits.h"
#include "core/foundation/JsonReader.h"
#include "core/foundation/JsonSplit.h"
#include "core/foundation/JsonWriter.h"
#include "core/foundation/Parallel.h"
#include "core/library/FileLogger.h"
#include "core/library/LogCategories.h"
#include "core/library/RecordCodec.h"

#include <QFileInfo>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace vellicord {

using namespace JsonReader;
using ErrorCase = StorePersistence::PersistenceError::Case;

namespace {

const char* caseDescription(ErrorCase errorCase)
{
    switch (errorCase) {
    case ErrorCase::backupWriteFailed: return "The library was saved but its backup could not be written.";
    case ErrorCase::duplicateIdentity: return "The library holds two records of one kind with the same id.";
    case ErrorCase::incompatibleVersion:
        return "The library uses a format version this version of Vellicord cannot read.";
    case ErrorCase::primaryNotPreserved:
        return "Changes to the library are not saved in this session: its file could not be opened safely at start.";
    }
    return "";
}

bool isOutOfSpace(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const FileSystemError& fileError) {
        return fileError.code() == ENOSPC || fileError.code() == EDQUOT;
    } catch (...) {
        return false;
    }
}

bool isReadableVersion(int64_t version)
{
    return version == 1 || version == 2;
}

// Parses without copying the bytes when the buffer has simdjson's padding behind it.
Value parseDocument(simdjson::dom::parser& parser, const char* data, size_t size, bool padded)
{
    Value root;
    check(parser.parse(data, size, !padded).get(root), "document");
    return root;
}

bool hasPadding(const QByteArray& bytes)
{
    return bytes.capacity() - bytes.size() >= qsizetype(simdjson::SIMDJSON_PADDING);
}

// The version a document declares, when it is a JSON object with one integer "version" (3.0 is
// version 3, as the decoder reads it). A repeated "version" declares nothing: the full decode
// refuses the document.
std::optional<int64_t> headerVersion(Value root)
{
    simdjson::dom::object object;
    if (root.get_object().get(object) != simdjson::SUCCESS)
        return std::nullopt;
    std::optional<Value> declared;
    for (const simdjson::dom::key_value_pair field : object) {
        if (field.key != "version")
            continue;
        if (declared)
            return std::nullopt;
        declared = field.value;
    }
    int64_t version = 0;
    if (!declared || integerValue(*declared, version) != simdjson::SUCCESS)
        return std::nullopt;
    return version;
}

// The name a record of a top-level list goes by in errors.
std::string_view recordName(std::string_view key)
{
    if (key == "groups")
        return "group";
    if (key == "drafts")
        return "draft";
    return key;
}

// An id as two 64-bit halves, compared faster than QUuid's own order, which looks at its variant first.
using IdHalves = std::pair<uint64_t, uint64_t>;

IdHalves halves(const QUuid& uuid)
{
    IdHalves value;
    value.first = uint64_t(uuid.data1) << 32 | uint64_t(uuid.data2) << 16 | uuid.data3;
    std::memcpy(&value.second, uuid.data4, 8);
    return value;
}

// Sorts the ids.
bool hasDuplicates(std::vector<IdHalves>& ids)
{
    std::sort(ids.begin(), ids.end());
    return std::adjacent_find(ids.begin(), ids.end()) != ids.end();
}

template<typename Records, typename Id> bool hasDuplicateIds(const Records& records, Id id)
{
    if (records.size() < 2)
        return false;
    std::vector<IdHalves> ids;
    ids.reserve(size_t(records.size()));
    for (const auto& record : records)
        ids.push_back(halves(id(record)));
    return hasDuplicates(ids);
}

// What a decode keeps of the captures. The check of a save's bytes throws its result away: it keeps
// only their ids, for the uniqueness test, instead of making a second library beside the store's.
struct CaptureIds {
    std::vector<IdHalves> ids;
};

// ids: the captures' ids, when the decode kept only those (sorted here).
void checkUniqueness(const StoreSnapshot& snapshot, CaptureIds* ids)
{
    const auto byId = [](const auto& record) { return record.id; };
    const QList<ContextDraft> noDrafts;
    const QList<ContextDraft>& drafts = snapshot.drafts ? *snapshot.drafts : noDrafts;
    const bool duplicateCapture = ids ? hasDuplicates(ids->ids) : hasDuplicateIds(snapshot.selections, byId);
    bool duplicate = duplicateCapture || hasDuplicateIds(snapshot.groups, byId) || hasDuplicateIds(drafts, byId);
    for (qsizetype i = 0; !duplicate && i < drafts.size(); ++i)
        duplicate = hasDuplicateIds(drafts[i].entries, byId);
    if (duplicate)
        throw StorePersistence::PersistenceError(ErrorCase::duplicateIdentity);
}

// Captures are most of a library: a large list is decoded on several threads, straight into the
// chunks the store keeps them in. element(parser, i) gives the i-th capture's JSON, parsed with the
// thread's own parser where it needs one; done(first, last) is told of the captures decoded, a few
// thousand at a time; heapFor(first, last) gives the memory their records take, about. With ids,
// only the captures' ids are kept there and the list stays empty.
template<typename Element, typename Done, typename HeapFor>
SelectionList decodeSelections(size_t count, Element element, Done done, HeapFor heapFor, CaptureIds* ids)
{
    const size_t chunkCapacity = size_t(SelectionList::chunkCapacity);
    QList<QList<Selection>> chunks((qsizetype(count) + SelectionList::chunkCapacity - 1)
                                   / SelectionList::chunkCapacity);
    if (ids) {
        ids->ids.reserve(HeapLimits::returnableCount<IdHalves>(count));
        ids->ids.resize(count);
    }
    Parallel::forChunks(size_t(chunks.size()), Parallel::threadsFor(count, 2048),
                        [&](size_t, size_t begin, size_t end) {
                            // Two levels less than the whole document's limit: a capture nested
                            // too deeply for the whole document is too deep here as well.
                            simdjson::dom::parser parser(simdjson::SIMDJSON_MAXSIZE_BYTES);
                            check(parser.allocate(0, simdjson::DEFAULT_MAX_DEPTH - 2), "document");
                            const Parallel::ThreadHeap heap(
                                ids ? 0 : heapFor(begin * chunkCapacity, std::min(count, end * chunkCapacity)));
                            RecordCodec::RecurringTexts recurring;
                            // Each call to done may cost every thread of the process a pause.
                            constexpr size_t chunksPerDone = 16;
                            size_t undone = begin * chunkCapacity;
                            for (size_t chunk = begin; chunk < end; ++chunk) {
                                QList<Selection>& out = chunks[qsizetype(chunk)];
                                const size_t first = chunk * chunkCapacity;
                                const size_t last = std::min(count, first + chunkCapacity);
                                if (!ids)
                                    out.reserve(qsizetype(last - first));
                                for (size_t i = first; i < last; ++i) {
                                    const Value item = element(parser, i);
                                    requireUniqueKeys(item, "selection");
                                    Selection selection = RecordCodec::decodeSelectionWith(item, recurring);
                                    if (ids)
                                        ids->ids[i] = halves(selection.id);
                                    else
                                        out.append(std::move(selection));
                                }
                                if ((chunk - begin + 1) % chunksPerDone == 0 || chunk + 1 == end) {
                                    done(undone, last);
                                    undone = last;
                                }
                            }
                        });
    return SelectionList::fromChunks(std::move(chunks));
}

SelectionList decodeSelections(simdjson::dom::array items, CaptureIds* ids)
{
    std::vector<Value> elements;
    elements.reserve(items.size());
    for (Value item : items)
        elements.push_back(item);
    // A document this small grows no heap worth readying.
    return decodeSelections(
        elements.size(), [&](simdjson::dom::parser&, size_t i) { return elements[i]; }, [](size_t, size_t) {},
        [](size_t, size_t) { return size_t(0); }, ids);
}

// A large document split for parsing on several threads: the captures' list is most of it, and
// parsing it whole (one thread building the tree of the entire document, as large again as the
// file) was most of the start of a large library. Each capture is parsed on its own, and the rest
// of the document (the frame) with the list emptied; together with the separators the split
// checks, they cover every byte the whole parse would.
struct SplitDocument {
    std::string frame; // with padding behind it
    std::vector<std::string_view> captures; // in the document's bytes, which must outlive this
    // The file the bytes are, when they are: the pages of captures decoded are let go of as the
    // decode goes, so that the file and the records made of it are not both held whole.
    const FileContents* file = nullptr;
};

std::optional<SplitDocument> splitDocument(const char* data, size_t size)
{
    // Below this one thread parses the whole document about as fast.
    constexpr size_t splitFrom = size_t(1) << 20;
    if (size < splitFrom)
        return std::nullopt;
    const std::string_view json(data, size);
    std::optional<JsonSplit::ArrayMembers> list
        = JsonSplit::objectsOfMember(json, "selections", Parallel::threadsFor(size, size_t(4) << 20));
    if (!list || list->members.empty())
        return std::nullopt;
    SplitDocument split;
    split.captures = std::move(list->members);
    split.frame.reserve(list->open + 1 + (size - list->close) + simdjson::SIMDJSON_PADDING);
    split.frame.append(json.substr(0, list->open + 1));
    split.frame.append(json.substr(list->close));
    return split;
}

// split: the captures' JSON when the document was split, its list in the root then empty.
StoreSnapshot decodeSnapshot(Value root, const SplitDocument* split, CaptureIds* ids)
{
    std::optional<int64_t> version;
    std::optional<SelectionList> selections;
    std::optional<QList<SelectionGroup>> groups;
    StoreSnapshot snapshot;
    // A key given twice, at any depth, makes the document unreadable: taking either value would
    // silently drop the other (a second "selections": [] would empty the library at the next save).
    const simdjson::dom::object library = object(root, "library");
    requireUniqueMemberKeys(library, {});
    for (const simdjson::dom::key_value_pair field : library) {
        const std::string_view key = field.key;
        // The captures are checked where they are decoded, on several threads.
        if (key != "selections")
            requireUniqueKeys(field.value, recordName(key));
        if (key == "version") {
            version = integer(field.value, "version");
        } else if (key == "selections") {
            const simdjson::dom::array items = array(field.value, "selections");
            if (split) {
                const std::vector<std::string_view>& captures = split->captures;
                selections = decodeSelections(
                    captures.size(),
                    [&](simdjson::dom::parser& parser, size_t i) {
                        Value item;
                        check(parser.parse(captures[i].data(), captures[i].size(), false).get(item), "document");
                        return item;
                    },
                    [&](size_t first, size_t last) {
                        if (!split->file)
                            return;
                        const char* start = split->file->bytes().data();
                        split->file->release(captures[first].data() - start,
                                             captures[last - 1].data() + captures[last - 1].size() - start);
                    },
                    // Decoded, a capture takes about what its JSON takes: its texts are most of both.
                    [&](size_t first, size_t last) {
                        return size_t(captures[last - 1].data() + captures[last - 1].size() - captures[first].data());
                    },
                    ids);
            } else {
                selections = decodeSelections(items, ids);
            }
        } else if (key == "groups") {
            const simdjson::dom::array items = array(field.value, "groups");
            QList<SelectionGroup> list;
            list.reserve(qsizetype(items.size()));
            for (Value item : items)
                list.append(RecordCodec::decodeGroup(item));
            groups = std::move(list);
        } else if (key == "drafts") {
            if (isNull(field.value)) {
                snapshot.drafts.reset();
                continue;
            }
            const simdjson::dom::array items = array(field.value, "drafts");
            QList<ContextDraft> list;
            list.reserve(qsizetype(items.size()));
            for (Value item : items)
                list.append(RecordCodec::decodeDraft(item));
            snapshot.drafts = std::move(list);
        } else if (key == "activeDraftID") {
            snapshot.activeDraftID = optionalUuid(field.value, "activeDraftID");
        }
    }
    snapshot.version = required(version, "version");
    snapshot.selections = required(selections, "selections");
    snapshot.groups = required(groups, "groups");
    return snapshot;
}

// Version screen, full decode and uniqueness of a parsed document.
StoreSnapshot decodeRoot(Value root, const SplitDocument* split, CaptureIds* ids)
{
    if (const auto version = headerVersion(root); version && !isReadableVersion(*version))
        throw StorePersistence::PersistenceError(ErrorCase::incompatibleVersion);
    if (ids)
        ids->ids.clear();
    StoreSnapshot snapshot = decodeSnapshot(root, split, ids);
    checkUniqueness(snapshot, ids);
    return snapshot;
}

// A document parsed for decoding: split when it is large and can be, else whole.
struct Parsed {
    simdjson::dom::parser parser;
    Value root; // of the frame, when split
    std::optional<SplitDocument> split;
};

// A document that is not JSON fails here, before the version screen, with the error the whole
// document gives.
void parse(Parsed& parsed, const char* data, size_t size, bool padded)
{
    if (padded) {
        parsed.split = splitDocument(data, size);
        if (parsed.split) {
            try {
                parsed.root
                    = parseDocument(parsed.parser, parsed.split->frame.data(), parsed.split->frame.size(), true);
                return;
            } catch (...) {
                // The whole document reports its own error.
                parsed.split.reset();
            }
        }
    }
    parsed.root = parseDocument(parsed.parser, data, size, padded);
}

StoreSnapshot decodeParsed(const Parsed& parsed, const char* data, size_t size, bool padded, CaptureIds* ids = nullptr)
{
    if (!parsed.split)
        return decodeRoot(parsed.root, nullptr, ids);
    try {
        return decodeRoot(parsed.root, &*parsed.split, ids);
    } catch (...) {
        // A document that does not decode fails with the error the whole of it gives, wherever
        // the split found the fault first.
        simdjson::dom::parser parser;
        return decodeRoot(parseDocument(parser, data, size, padded), nullptr, ids);
    }
}

StoreSnapshot decodeBytes(const char* data, size_t size, bool padded, CaptureIds* ids = nullptr)
{
    Parsed parsed;
    parse(parsed, data, size, padded);
    return decodeParsed(parsed, data, size, padded, ids);
}

// Roughly the encoded size, so the output buffer is allocated once.
size_t estimatedSize(const SelectionList& selections, qsizetype firstChunk, qsizetype endChunk)
{
    size_t size = 0;
    for (qsizetype chunk = firstChunk; chunk < endChunk; ++chunk)
        for (const Selection& s : selections.chunk(chunk))
            size += 420 + size_t(s.text.byteSize() + s.markdown.byteSize() + s.appName.size()) * 11 / 10
                + size_t(s.sourceURL ? s.sourceURL->size() : 0) + size_t(s.sourceTitle ? s.sourceTitle->size() : 0)
                + size_t(s.filePath ? s.filePath->size() : 0) + size_t(s.groupIDs.size()) * 48;
    return size;
}

// Copies an encoded part into its place in the document, letting go of the pages of a mapped part
// as they are copied, so that the document and its parts are not both held whole.
void moveInto(char* to, std::string& part)
{
    constexpr size_t slice = size_t(2) << 20;
    const auto page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const char* from = part.data();
    for (size_t done = 0; done < part.size(); done += slice) {
        const size_t length = std::min(slice, part.size() - done);
        std::memcpy(to + done, from + done, length);
        // Only whole pages that lie in the copied bytes: they are never read again.
        const uintptr_t first = (uintptr_t(from + done) + page - 1) & ~(page - 1);
        const uintptr_t end = uintptr_t(from + done + length) & ~(page - 1);
        if (part.capacity() >= HeapLimits::mappedFrom && end > first)
            ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
    }
    std::string().swap(part);
}

// Captures are most of a library: a large list is encoded in parts on several threads, each part
// by a writer that continues the selections array two levels deep.
std::vector<std::string> encodeSelections(const SelectionList& selections)
{
    const size_t chunks = size_t(selections.chunkCount());
    const size_t parts = Parallel::threadsFor(size_t(selections.size()), 2048);
    std::vector<std::string> encoded(parts);
    Parallel::forChunks(chunks, parts, [&](size_t part, size_t begin, size_t end) {
        std::string& out = encoded[part];
        out.reserve(HeapLimits::returnableCapacity(estimatedSize(selections, qsizetype(begin), qsizetype(end))));
        JsonWriter writer(out, 2, begin < chunks ? int(selections.chunkStart(qsizetype(begin))) : 0);
        for (size_t chunk = begin; chunk < end; ++chunk)
            for (const Selection& selection : selections.chunk(qsizetype(chunk)))
                RecordCodec::encode(writer, selection);
    });
    return encoded;
}

} // namespace

StorePersistence::PersistenceError::PersistenceError(Case errorCase, std::exception_ptr underlying)
    : std::runtime_error(caseDescription(errorCase))
    , case_(errorCase)
    , underlying_(std::move(underlying))
{
}

StorePersistence::StorePersistence(QString storeURL, QString backupURL, FileSystem& fileManager)
    : storeURL_(std::move(storeURL))
    , backupURL_(std::move(backupURL))
    , fileManager_(fileManager)
{
}

QString StorePersistence::defaultStoreURL(const FileSystem& files)
{
    return files.applicationSupportDirectory() + QStringLiteral("/Vellicord/Vellicord.json");
}

QString StorePersistence::backupURL(const QString& storeURL)
{
    const QFileInfo info(storeURL);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return info.path() + QLatin1Char('/') + base + QStringLiteral(".backup.json");
}

QByteArray StorePersistence::encode(const StoreSnapshot& snapshot)
{
    // One writer makes the frame around the captures; the captures, most of the document, are
    // encoded in parts and copied into their place in the frame.
    std::string frame;
    JsonWriter out(frame);
    out.beginObject();
    out.member("activeDraftID", snapshot.activeDraftID);
    if (snapshot.drafts) {
        out.key("drafts");
        out.beginArray();
        for (const ContextDraft& draft : *snapshot.drafts)
            RecordCodec::encode(out, draft);
        out.endArray();
    }
    out.key("groups");
    out.beginArray();
    for (const SelectionGroup& group : snapshot.groups)
        RecordCodec::encode(out, group);
    out.endArray();
    out.key("selections");
    out.beginArray();
    const size_t selectionsAt = frame.size();
    std::vector<std::string> parts = encodeSelections(snapshot.selections);
    out.appendEncoded({}, int(snapshot.selections.size()));
    out.endArray();
    out.member("version", snapshot.version);
    out.endObject();

    std::vector<size_t> offsets(parts.size());
    size_t size = frame.size();
    for (size_t i = 0; i < parts.size(); ++i) {
        offsets[i] = selectionsAt + size - frame.size();
        size += parts[i].size();
    }
    // Spare capacity behind the bytes lets the read-back check parse them in place.
    QByteArray bytes;
    bytes.reserve(qsizetype(HeapLimits::returnableCapacity(size + simdjson::SIMDJSON_PADDING)));
    bytes.resize(qsizetype(size));
    char* const data = bytes.data();
    std::memcpy(data, frame.data(), selectionsAt);
    Parallel::forChunks(parts.size(), parts.size(),
                        [&](size_t part, size_t, size_t) { moveInto(data + offsets[part], parts[part]); });
    const size_t tail = frame.size() - selectionsAt;
    std::memcpy(data + size - tail, frame.data() + selectionsAt, tail);
    return bytes;
}

StoreSnapshot StorePersistence::decode(const QByteArray& bytes)
{
    return decodeBytes(bytes.constData(), size_t(bytes.size()), hasPadding(bytes));
}

StoreSnapshot StorePersistence::decode(const std::string& bytes)
{
    return decodeBytes(bytes.data(), bytes.size(), bytes.capacity() - bytes.size() >= simdjson::SIMDJSON_PADDING);
}

StoreSnapshot StorePersistence::decode(std::string_view bytes)
{
    return decodeBytes(bytes.data(), bytes.size(), false);
}

void StorePersistence::write(StoreSnapshot snapshot)
{
    if (!writesAllowed_)
        throw PersistenceError(ErrorCase::primaryNotPreserved);
    const QByteArray bytes = encode(snapshot);
    // Let go of the records as soon as they are encoded: while the snapshot shares the store's
    // lists, the store's next change must copy them first.
    snapshot = StoreSnapshot();
    const QByteArrayView view(bytes);

    // The check that the bytes read back runs while both files go to the disk under temporary
    // names; nothing replaces the library or the backup until it has passed, and its error comes
    // first, as if it had run before any writing. A missing folder is only made after it.
    std::exception_ptr verification;
    std::thread verifier([&] {
        try {
            CaptureIds ids;
            decodeBytes(bytes.constData(), size_t(bytes.size()), hasPadding(bytes), &ids);
        } catch (...) {
            verification = std::current_exception();
        }
    });
    const QString folder = QFileInfo(storeURL_).path();
    if (!fileManager_.exists(folder)) {
        verifier.join();
        if (verification)
            std::rethrow_exception(verification);
    }
    std::exception_ptr libraryError;
    std::exception_ptr backupError;
    std::unique_ptr<PendingWrite> library;
    std::unique_ptr<PendingWrite> backup;
    try {
        fileManager_.createDirectories(folder);
        // The two files are written side by side, so the disk flushes them together.
        std::thread backupWriter([&] {
            try {
                backup = fileManager_.prepareAtomicWrite(backupURL_, view);
            } catch (...) {
                backupError = std::current_exception();
            }
        });
        try {
            library = fileManager_.prepareAtomicWrite(storeURL_, view);
        } catch (...) {
            libraryError = std::current_exception();
        }
        backupWriter.join();
        // A disk with room for one more copy of the library, and not two: the library goes first,
        // and the backup's temporary file takes room only once the library's old file gave up its own.
        if (libraryError && isOutOfSpace(libraryError)) {
            backup.reset();
            backupError = nullptr;
            libraryError = nullptr;
            library = fileManager_.prepareAtomicWrite(storeURL_, view);
        }
    } catch (...) {
        libraryError = std::current_exception();
    }
    if (verifier.joinable())
        verifier.join();
    if (verification)
        std::rethrow_exception(verification);
    if (libraryError)
        std::rethrow_exception(libraryError);
    library->commit();
    try {
        if (backupError && !isOutOfSpace(backupError))
            std::rethrow_exception(backupError);
        if (!backup)
            backup = fileManager_.prepareAtomicWrite(backupURL_, view);
        backup->commit();
    } catch (...) {
        throw PersistenceError(ErrorCase::backupWriteFailed, std::current_exception());
    }
}

StorePersistenceStatus StorePersistence::failureStatus(const std::exception& error)
{
    if (const auto* persistence = dynamic_cast<const PersistenceError*>(&error)) {
        switch (persistence->errorCase()) {
        case ErrorCase::primaryNotPreserved: return StorePersistenceStatus::unreadablePrimary;
        case ErrorCase::backupWriteFailed: return StorePersistenceStatus::backupUnavailable;
        case ErrorCase::duplicateIdentity:
        case ErrorCase::incompatibleVersion: break;
        }
    }
    return StorePersistenceStatus::saveFailed;
}

QString StorePersistence::describe(const std::exception& error)
{
    if (const auto* decoding = dynamic_cast<const JsonDecodeError*>(&error)) {
        const QString context = QString::fromUtf8(decoding->what());
        switch (decoding->kind()) {
        case JsonDecodeError::Kind::syntax: return QStringLiteral("The data is not valid JSON (%1).").arg(context);
        case JsonDecodeError::Kind::missingKey: return QStringLiteral("The data has no value for %1.").arg(context);
        case JsonDecodeError::Kind::typeMismatch:
            return QStringLiteral("The data has a value of the wrong type for %1.").arg(context);
        case JsonDecodeError::Kind::dataCorrupted:
            return QStringLiteral("The data has an invalid value for %1.").arg(context);
        case JsonDecodeError::Kind::repeatedKey:
            return QStringLiteral("The data has more than one value for %1.").arg(context);
        }
    }
    if (const auto* persistence = dynamic_cast<const PersistenceError*>(&error);
        persistence && persistence->underlying()) {
        try {
            std::rethrow_exception(persistence->underlying());
        } catch (const std::exception& underlying) {
            return QString::fromUtf8(error.what()) + QLatin1Char(' ') + describe(underlying);
        } catch (...) {
        }
    }
    return QString::fromUtf8(error.what());
}

// Loading

StorePersistence::FileRead StorePersistence::read(const QString& path) const
{
    FileRead file;
    try {
        file.contents = fileManager_.readContents(path);
    } catch (...) {
        file.error = std::current_exception();
    }
    return file;
}

QByteArrayView StorePersistence::FileRead::bytes() const
{
    if (!contents)
        return {};
    // Some editors put a byte order mark before a UTF-8 document. It carries no content (the writer
    // never writes one), and JSON does not allow it.
    const QByteArrayView all = contents->bytes();
    return all.startsWith(QByteArrayView("\xEF\xBB\xBF")) ? all.sliced(3) : all;
}

struct StorePersistence::ParsedDocument : Parsed {
    std::shared_ptr<const FileContents> contents; // what the split's captures lie in
    std::exception_ptr error; // the parse error, when the bytes are not JSON
};

bool StorePersistence::hasIncompatibleVersion(FileRead& file)
{
    if (file.error)
        return false;
    static_assert(FileContents::padding >= qsizetype(simdjson::SIMDJSON_PADDING));
    file.parsed = std::make_shared<ParsedDocument>();
    ParsedDocument& parsed = *file.parsed;
    const QByteArrayView bytes = file.bytes();
    try {
        parse(parsed, bytes.data(), size_t(bytes.size()), true);
    } catch (...) {
        parsed.error = std::current_exception();
        return false;
    }
    if (parsed.split) {
        parsed.contents = file.contents;
        parsed.split->file = parsed.contents.get();
    }
    const auto version = headerVersion(parsed.root);
    return version && !isReadableVersion(*version);
}

StoreSnapshot StorePersistence::decode(const FileRead& file)
{
    if (file.error)
        std::rethrow_exception(file.error);
    // A file another program changed during the load (in place, or cut short) is not what was
    // read: that, rather than what its bytes say, is why it cannot be loaded.
    StoreSnapshot snapshot;
    try {
        const QByteArrayView bytes = file.bytes();
        if (!file.parsed)
            snapshot = decodeBytes(bytes.data(), size_t(bytes.size()), true);
        else if (file.parsed->error)
            std::rethrow_exception(file.parsed->error);
        else
            snapshot = decodeParsed(*file.parsed, bytes.data(), size_t(bytes.size()), true);
    } catch (...) {
        file.contents->check();
        throw;
    }
    file.contents->check();
    return snapshot;
}

void StorePersistence::writeCopy(const QString& path, const FileRead& file)
{
    const std::unique_ptr<PendingWrite> pending = fileManager_.prepareAtomicWrite(path, file.bytes());
    file.contents->check();
    pending->commit();
}

StoreLoadResult StorePersistence::load()
{
    removeLeftoverTemporaryFiles();
    FileRead primary = read(storeURL_);
    // Whether the backup holds the library's bytes is found while the library is parsed, by
    // reading the backup piece by piece rather than whole. Only a backup that differs is read and
    // looked at, and only when the library passes the version screen.
    bool sameBytes = false;
    std::thread backupComparer([&] {
        try {
            sameBytes = !primary.error && fileManager_.hasContents(backupURL_, primary.bytes());
        } catch (const FileSystemError&) {
            // An unreadable backup is read again below, where its error is kept.
        }
    });
    bool incompatible = hasIncompatibleVersion(primary);
    backupComparer.join();
    FileRead backup;
    if (sameBytes) {
        // Equal bytes parse and decode alike, so the backup is the library's parsed document.
        backup = primary;
    } else {
        backup = read(backupURL_);
    }
    if (!incompatible)
        incompatible = !sameBytes && hasIncompatibleVersion(backup);
    if (incompatible) {
        writesAllowed_ = false;
        logEvent(QStringLiteral(
            "The library or backup requires a compatible version of Vellicord. Both files were left unchanged."));
        return {std::nullopt, StorePersistenceStatus::incompatibleVersion};
    }
    if (fileManager_.exists(storeURL_))
        return loadPrimary(primary, backup, sameBytes);
    if (fileManager_.exists(backupURL_))
        return recoverMissingPrimary(backup);
    return {std::nullopt, StorePersistenceStatus::ready};
}

void StorePersistence::removeLeftoverTemporaryFiles()
{
    // Loading runs once, before any save, and only in the copy of Vellicord that holds the
    // single-instance lock: no write to these files can be under way, so their temporary files are
    // what killed or cut-off saves left behind, each as large as the library.
    const int removed = fileManager_.removeTemporaryFiles(storeURL_) + fileManager_.removeTemporaryFiles(backupURL_);
    if (removed == 1)
        logEvent(QStringLiteral("Removed a temporary file left by an interrupted save."));
    else if (removed > 1)
        logEvent(QStringLiteral("Removed %1 temporary files left by interrupted saves.").arg(removed));
}

StoreLoadResult StorePersistence::loadPrimary(const FileRead& primary, const FileRead& backup, bool sameBytes)
{
    StoreSnapshot snapshot;
    try {
        snapshot = decode(primary);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("The primary store is unreadable. Vellicord will check its backup."), error);
        // A backup found to hold the library's bytes was not read on its own; a library changed
        // during the load says nothing of it.
        return recoverFromBackup(sameBytes ? read(backupURL_) : backup);
    }
    // Equal bytes decode alike, so a backup identical to a valid library is valid too.
    if (sameBytes)
        return {std::move(snapshot), StorePersistenceStatus::ready};
    try {
        writeCopy(backupURL_, primary);
    } catch (const std::exception& error) {
        if (changedSinceRead(primary))
            return rewriteChangedPrimary(std::move(snapshot));
        logFailure(QStringLiteral("The local store backup could not be refreshed."), error);
        return {std::move(snapshot), StorePersistenceStatus::backupUnavailable};
    }
    logEvent(QStringLiteral("The local store backup was refreshed from the valid primary store."));
    return {std::move(snapshot), StorePersistenceStatus::ready};
}

bool StorePersistence::changedSinceRead(const FileRead& file)
{
    try {
        file.contents->check();
    } catch (const FileSystemError&) {
        return true;
    }
    return false;
}

StoreLoadResult StorePersistence::rewriteChangedPrimary(StoreSnapshot snapshot)
{
    // Another program wrote the library, or cut it short, after it was loaded and before its backup
    // was refreshed from it: the library as loaded, checked whole, is in memory only. It goes to
    // both files now rather than at the next change, which may never come.
    logEvent(QStringLiteral("The library file changed while its backup was refreshed from it. Vellicord writes the "
                            "library it loaded to both files again."));
    try {
        write(snapshot);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("The library could not be written again."), error);
        return {std::move(snapshot), failureStatus(error)};
    }
    return {std::move(snapshot), StorePersistenceStatus::ready};
}

StoreLoadResult StorePersistence::recoverMissingPrimary(const FileRead& backup)
{
    StoreSnapshot snapshot;
    try {
        snapshot = decode(backup);
    } catch (const std::exception& error) {
        writesAllowed_ = false;
        logFailure(QStringLiteral("The primary store is missing and its backup is unreadable."), error);
        return {std::nullopt, StorePersistenceStatus::unreadablePrimary};
    }
    try {
        fileManager_.createDirectories(QFileInfo(storeURL_).path());
        writeCopy(storeURL_, backup);
    } catch (const std::exception& error) {
        writesAllowed_ = false;
        logFailure(QStringLiteral("The valid backup could not be restored as the missing primary store."), error);
        return {std::move(snapshot), StorePersistenceStatus::unreadablePrimary};
    }
    logEvent(QStringLiteral("The missing primary store was recovered from its local backup."));
    return {std::move(snapshot), StorePersistenceStatus::recoveredFromBackup};
}

StoreLoadResult StorePersistence::recoverFromBackup(const FileRead& backup)
{
    const bool preserved = preserveUnreadablePrimary();
    if (!preserved)
        writesAllowed_ = false;
    StoreSnapshot snapshot;
    try {
        snapshot = decode(backup);
    } catch (const std::exception& error) {
        writesAllowed_ = false;
        logFailure(QStringLiteral("The store backup is unavailable or unreadable."), error);
        return {std::nullopt, StorePersistenceStatus::unreadablePrimary};
    }
    if (!preserved) {
        logEvent(
            QStringLiteral("The backup was opened read-only because the unreadable primary could not be preserved."));
        return {std::move(snapshot), StorePersistenceStatus::unreadablePrimary};
    }
    try {
        writeCopy(storeURL_, backup);
    } catch (const std::exception& error) {
        writesAllowed_ = false;
        logFailure(QStringLiteral("The valid backup could not be restored as the primary store."), error);
        return {std::move(snapshot), StorePersistenceStatus::unreadablePrimary};
    }
    logEvent(QStringLiteral("The store was recovered from its local backup."));
    return {std::move(snapshot), StorePersistenceStatus::recoveredFromBackup};
}

bool StorePersistence::preserveUnreadablePrimary()
{
    const QString target = nextUnreadableURL();
    try {
        fileManager_.copyFile(storeURL_, target);
    } catch (const std::exception& error) {
        logFailure(QStringLiteral("The unreadable primary store could not be copied and remains in place."), error);
        return false;
    }
    logEvent(QStringLiteral("The unreadable primary store was preserved."));
    return true;
}

QString StorePersistence::nextUnreadableURL() const
{
    const QFileInfo info(storeURL_);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base
        = info.path() + QLatin1Char('/') + (dot > 0 ? name.left(dot) : name) + QStringLiteral(".unreadable");
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    QString candidate = base + extension;
    for (int n = 2; fileManager_.exists(candidate); ++n)
        candidate = base + QLatin1Char('-') + QString::number(n) + extension;
    return candidate;
}

// Logging

void StorePersistence::logEvent(const QString& message) const
{
    qCInfo(LogCategories::store).noquote() << message;
    FileLogger::logToShared(message);
}

void StorePersistence::logFailure(const QString& message, const std::exception& error) const
{
    // The error's text may name the user's files: it goes to the file log only.
    qCCritical(LogCategories::store).noquote() << message;
    FileLogger::logToShared(message + QLatin1Char(' ') + describe(error));
}

} // namespace vellicord
