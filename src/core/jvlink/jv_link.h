#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace sorvantix {

// Result codes of the JV-Link operations. The meaning of a code depends on the
// operation that returned it (-1 is "no data" for an open but "next file" for a read),
// so the names carry the operation where the codes overlap.
namespace jv {

inline constexpr int kOk = 0;

// JVInit
inline constexpr int kInitSidMissing = -101;
inline constexpr int kInitSidTooLong = -102;
inline constexpr int kInitSidLeadingBlank = -103;

// JVSetUIProperties
inline constexpr int kUiBadParameter = -100;
inline constexpr int kUiKeyAlreadyRegistered = -101;

// JVOpen / JVRTOpen
inline constexpr int kOpenNoData = -1;
inline constexpr int kOpenSetupCancelled = -2;

// JVRead: > 0 is the length of the record in the buffer.
inline constexpr int kReadEnd = 0;
inline constexpr int kReadFileSwitch = -1;
inline constexpr int kReadDownloadingOld = -2;
inline constexpr int kReadDownloading = -3;

// Errors shared by the operations.
inline constexpr int kInvalidDataspec = -111;
inline constexpr int kInvalidFromtime = -112;
inline constexpr int kInvalidKey = -114;
inline constexpr int kInvalidOption = -115;
inline constexpr int kInvalidDataspecOption = -116;
inline constexpr int kNotInitialised = -201;
inline constexpr int kStillOpen = -202;
inline constexpr int kNotOpened = -203;
inline constexpr int kSettingsInvalid = -211;
inline constexpr int kAuthenticationError = -301;
inline constexpr int kServiceKeyExpired = -302;
inline constexpr int kServiceKeyNotSet = -303;
inline constexpr int kInternalError = -401;
inline constexpr int kBadFileSize = -402;
inline constexpr int kBadFileContent = -403;
inline constexpr int kServerNotFound = -411;
inline constexpr int kServerForbidden = -412;
inline constexpr int kServerHttpError = -413;
inline constexpr int kBadServerResponse = -421;
inline constexpr int kServerApplicationError = -431;
inline constexpr int kSetupMediaInvalid = -501;
inline constexpr int kDownloadFailed = -502;
inline constexpr int kFileNotFound = -503;
inline constexpr int kServerMaintenance = -504;

// True for a JVRead result that ends the read loop with an error (below -3).
constexpr bool isReadError(int code)
{
    return code < kReadDownloading;
}

// True for a JVRead result that asks to call again (the file is still downloading).
constexpr bool isReadDownloading(int code)
{
    return code == kReadDownloading || code == kReadDownloadingOld;
}

// JVOpen options.
inline constexpr int kOptionNormal = 1;
inline constexpr int kOptionThisWeek = 2;
inline constexpr int kOptionSetup = 3;
inline constexpr int kOptionSetupNoDialog = 4;

// Data specs the program asks for.
inline constexpr std::string_view kSpecRace = "RACE";       // JVOpen: RA, SE, HR records
inline constexpr std::string_view kSpecTanOdds = "0B41";    // JVRTOpen per race: O1 series
inline constexpr std::string_view kSpecUmarenOdds = "0B42"; // JVRTOpen per race: O2 series
inline constexpr std::string_view kSpecLatestOdds = "0B30"; // JVRTOpen per race
inline constexpr std::string_view kSpecDayResults = "0B12"; // JVRTOpen per day "yyyymmdd"

// The buffer size the program passes to JVRead; larger than every record.
inline constexpr int kReadBufferSize = 60000;

// The longest software identifier JVInit accepts, in bytes.
inline constexpr int kSidMaxBytes = 64;

} // namespace jv

// The JV-Link data component as the program calls it. One instance serves the whole
// program, and requests are made one at a time (the request queue serialises them);
// implementations need not be thread-safe.
//
// Texts are plain std::string: identifiers, data specs, keys and times are ASCII;
// records are handed over as the stored CP932 bytes, unchanged, because every field is
// cut from them by byte position.
//
// Calling order: JVInit once; then per acquisition JVOpen or JVRTOpen, optionally
// JVStatus polled until it equals the download count, JVRead until 0, an error or a
// cancel, and always JVClose, also after a failed open.
class JvLink
{
public:
    virtual ~JvLink() = default;

    // Checks the software identifier (at most 64 bytes of letters, digits, blank, "_",
    // "." and "/", not starting with a blank). 0 or jv::kInit* codes.
    virtual int JVInit(const std::string& sid) = 0;

    // The component's own settings dialog. 0 for OK or Cancel; jv::kUi* codes.
    virtual int JVSetUIProperties() = 0;

    // Opens the stored data of `dataspec` newer than `fromtime` ("yyyymmddhhnnss")
    // with a jv::kOption* option. Returns as soon as the download starts: 0 opened,
    // jv::kOpenNoData, jv::kOpenSetupCancelled or an error. On 0, `readCount` is the
    // number of files to read, `downloadCount` the files still to fetch and
    // `lastFileTimestamp` the newest file's stamp "yyyymmddhhnnss" (may be blank or
    // all zeros), to be passed as the next `fromtime`.
    virtual int JVOpen(const std::string& dataspec, const std::string& fromtime, int option,
                       int& readCount, int& downloadCount, std::string& lastFileTimestamp) = 0;

    // Opens real-time data of `dataspec` for `key` (16-digit race key or "yyyymmdd").
    // Returns once the data has arrived: 0 opened, jv::kOpenNoData, jv::kInvalidKey or
    // another error.
    virtual int JVRTOpen(const std::string& dataspec, const std::string& key) = 0;

    // Files downloaded so far (0 .. the download count of JVOpen); negative = error.
    virtual int JVStatus() = 0;

    // Next record. `size` is passed in as the caller's buffer size in bytes
    // (jv::kReadBufferSize). Returns the record length > 0 with `buffer` holding the
    // record's CP932 bytes including the closing CR LF, `size` set to that length and
    // `fileName` the name of the file it came from;
    // jv::kReadEnd when all is read; jv::kReadFileSwitch when the next file begins;
    // jv::kReadDownloading (or jv::kReadDownloadingOld) to call again later; below -3
    // an error. `buffer` is left empty on every result but a record.
    virtual int JVRead(std::string& buffer, int& size, std::string& fileName) = 0;

    // Closes the stream and stops downloads. 0, also when nothing was open.
    virtual int JVClose() = 0;

    // Stops a running download; a later read fails. No result.
    virtual void JVCancel() = 0;
};

// How a read loop over an open stream ended.
struct JvReadEnd
{
    int code = jv::kReadEnd; // kReadEnd, or the JVRead error (isReadError) that ended it
    bool cancelled = false;  // `cancelled` held before a read
};

// The one JVRead loop of every acquisition: checks `cancelled` before each read, reads
// with a fresh buffer size of kReadBufferSize (a size shrunk to one record's length
// would refuse a longer record after it), hands each record to `record` and calls
// `fileSwitch` (may be empty) at each kReadFileSwitch that ends a file: one that follows
// records of a file (by the records' file name) not already ended, so a repeated -1
// counts no file twice; other negative results below
// the errors (downloading) read on. Ends at kReadEnd, a read error or the cancel.
// Exceptions of the callbacks pass through.
JvReadEnd readJvStream(JvLink& jvLink, const std::function<bool()>& cancelled,
                       const std::function<void(const std::string& record)>& record,
                       const std::function<void()>& fileSwitch = {});

} // namespace sorvantix
