#include "platform/registry/RegistryStore.h"

#include "platform/base/LastError.h"
#include "platform/base/TessalineHome.h"
#include "platform/base/WinError.h"
#include "platform/registry/RegistryVersion.h"

#include <fcntl.h>
#include <pthread.h>
#include <sqlite3.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <optional>
#include <unordered_map>
#include <utility>

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyAttempts = 12;
constexpr mode_t kDatabaseMode = 0640;
constexpr std::int64_t kSchemaVersion = 1;
constexpr std::size_t kMaxKeptAnswers = 4096;

constexpr const char* kSchema =
  "CREATE TABLE IF NOT EXISTS keys("
  "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
  "  parent INTEGER NOT NULL,"
  "  name TEXT NOT NULL COLLATE NOCASE,"
  "  UNIQUE(parent, name));"
  "CREATE TABLE IF NOT EXISTS vals("
  "  key INTEGER NOT NULL,"
  "  name TEXT NOT NULL COLLATE NOCASE,"
  "  type INTEGER NOT NULL,"
  "  data BLOB NOT NULL,"
  "  PRIMARY KEY(key, name)) WITHOUT ROWID;"
  "INSERT OR IGNORE INTO keys(id, parent, name) VALUES"
  "  (1, 0, 'HKEY_LOCAL_MACHINE'), (2, 0, 'HKEY_CLASSES_ROOT');"
  "PRAGMA user_version = 1;";

struct Connection {
  sqlite3* mDatabase = nullptr;
  bool mInherited = false;  // this process is a child forked after it was opened
  std::string mHome;        // the home whose database it is open on
  std::string mNamedAs;     // the TESSALINE_HOME it was opened under, when that named a folder from the root
  bool mReady = false;      // the schema is known to be there
  // The statements kept with it that are not in use, by SQL text; the
  // capacity of each list covers every statement of its text, so a statement
  // goes back without allocating.
  std::map<std::string, std::vector<sqlite3_stmt*>, std::less<>> mIdle;
  uid_t mStoreOwner = 0;     // the home folder's owner
  RegistryVersion mVersion;  // the store's change counter, when mapped
  // The answers of kept reads, good while the counter stays at mKeptAt.
  std::optional<std::uint64_t> mKeptAt;
  std::unordered_map<std::string, std::pair<LONG, std::string>> mKept;
};

std::mutex gLock;
Connection gConnection;
std::once_flag gForkHandlersInstalled;

// A fork waits until no work runs, so the child inherits an idle connection,
// which it closes and replaces at its first work.
void InstallForkHandlers()
{
  std::call_once(gForkHandlersInstalled, [] {
    pthread_atfork([] { gLock.lock(); }, [] { gLock.unlock(); },
                   [] {
                     gConnection.mInherited = true;
                     gLock.unlock();
                   });
  });
}

[[noreturn]] void Fail(sqlite3* inDatabase, int inCode)
{
  throw RegistryStoreFailure{inCode, inDatabase != nullptr ? sqlite3_system_errno(inDatabase) : 0};
}

void Execute(sqlite3* inDatabase, const char* inSql)
{
  int theCode = sqlite3_exec(inDatabase, inSql, nullptr, nullptr, nullptr);
  if (theCode != SQLITE_OK)
    Fail(inDatabase, theCode);
}

void RollBack(sqlite3* inDatabase)
{
  if (sqlite3_get_autocommit(inDatabase) == 0)
    sqlite3_exec(inDatabase, "ROLLBACK", nullptr, nullptr, nullptr);
}

LONG WinErrorFromSqlite(const RegistryStoreFailure& inFailure)
{
  switch (inFailure.mCode & 0xFF) {
  case SQLITE_READONLY:
  case SQLITE_PERM:
  case SQLITE_AUTH:
    return ERROR_ACCESS_DENIED;
  case SQLITE_CANTOPEN:
    return inFailure.mErrno != 0 ? WinErrorFromErrno(inFailure.mErrno) : ERROR_CANTOPEN;
  case SQLITE_NOMEM:
    return ERROR_NOT_ENOUGH_MEMORY;
  case SQLITE_FULL:
    return ERROR_DISK_FULL;
  case SQLITE_TOOBIG:
    return ERROR_INVALID_PARAMETER;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
    return ERROR_REGISTRY_CORRUPT;
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return ERROR_BUSY;
  default:
    return ERROR_REGISTRY_IO_FAILED;
  }
}

// No statement of the connection is in use: works have ended.
void Close(Connection& ioConnection)
{
  for (const auto& [theSql, theStatements] : ioConnection.mIdle)
    for (sqlite3_stmt* theStatement : theStatements)
      sqlite3_finalize(theStatement);
  if (ioConnection.mDatabase != nullptr)
    sqlite3_close_v2(ioConnection.mDatabase);
  ioConnection = Connection{};
}

// Makes the database file with our mode, whatever the umask, before SQLite
// opens it (SQLite's own would be 0644): the store's group reads it, only its
// owner writes it. SQLite gives its journals the database's mode.
LONG CreateDatabaseFile(const std::string& inPath)
{
  struct stat theInfo {};
  if (stat(inPath.c_str(), &theInfo) == 0)
    return ERROR_SUCCESS;
  int theFile = open(inPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kDatabaseMode);
  if (theFile < 0)
    return errno == EEXIST ? ERROR_SUCCESS : static_cast<LONG>(WinErrorFromErrno(errno));
  const LONG theResult = fchmod(theFile, kDatabaseMode) == 0 ? ERROR_SUCCESS : WinErrorFromErrno(errno);
  close(theFile);
  return theResult;
}

std::int64_t SchemaVersion(sqlite3* inDatabase)
{
  RegistryStatement theQuery(inDatabase, "PRAGMA user_version");
  return theQuery.Step() ? theQuery.Int64(0) : 0;
}

void PrepareSchema(sqlite3* inDatabase)
{
  if (SchemaVersion(inDatabase) >= kSchemaVersion)
    return;
  if (sqlite3_db_readonly(inDatabase, "main") == 1)
    throw RegistryStoreFailure{SQLITE_READONLY, 0};
  Execute(inDatabase, "PRAGMA journal_mode = DELETE");
  Execute(inDatabase, "BEGIN IMMEDIATE");
  try {
    if (SchemaVersion(inDatabase) < kSchemaVersion)
      Execute(inDatabase, kSchema);
    Execute(inDatabase, "COMMIT");
  } catch (...) {
    RollBack(inDatabase);
    throw;
  }
}

bool IsStoreWriter(const Connection& inConnection)
{
  const uid_t theUser = static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1)));
  return theUser == 0 || theUser == inConnection.mStoreOwner;
}

// Maps the change counter as the calling thread may: for writing when it may
// write the store, else (or when that fails) for reading. A counter that
// cannot be mapped leaves every read to the database.
void MapVersion(Connection& ioConnection)
{
  ioConnection.mKeptAt.reset();
  ioConnection.mKept.clear();
  if (IsStoreWriter(ioConnection) &&
      ioConnection.mVersion.Map(ioConnection.mHome, ioConnection.mStoreOwner, true) == ERROR_SUCCESS)
    return;
  static_cast<void>(ioConnection.mVersion.Map(ioConnection.mHome, ioConnection.mStoreOwner, false));
}

// Makes gConnection the open, ready connection of this process on the current
// home's database. The home is named at every work but looked at and made only
// when it differs from the connection's.
// An absolute TESSALINE_HOME names the same folder while it keeps its text,
// so only another text has the home chosen again.
bool IsHomeStill(const Connection& inConnection)
{
  const char* theNamed = std::getenv("TESSALINE_HOME");
  if (theNamed != nullptr && theNamed[0] == '/' && inConnection.mNamedAs == theNamed)
    return true;
  return inConnection.mHome == NameTessalineHome();
}

LONG Open(Connection& ioConnection)
{
  if (ioConnection.mDatabase == nullptr || ioConnection.mInherited || !IsHomeStill(ioConnection)) {
    Close(ioConnection);
    const char* theNamed = std::getenv("TESSALINE_HOME");
    const std::string theNamedAs = theNamed != nullptr && theNamed[0] == '/' ? theNamed : "";
    std::string theHome;
    if (DWORD theError = GetTessalineHome(theHome); theError != ERROR_SUCCESS)
      return static_cast<LONG>(theError);
    std::string thePath = theHome + "/registry.db";
    if (LONG theError = CreateDatabaseFile(thePath); theError != ERROR_SUCCESS)
      return theError;
    sqlite3* theDatabase = nullptr;
    int theCode = sqlite3_open_v2(thePath.c_str(), &theDatabase, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (theCode != SQLITE_OK) {
      RegistryStoreFailure theFailure{theCode, theDatabase != nullptr ? sqlite3_system_errno(theDatabase) : 0};
      sqlite3_close_v2(theDatabase);
      return WinErrorFromSqlite(theFailure);
    }
    sqlite3_extended_result_codes(theDatabase, 1);
    sqlite3_busy_timeout(theDatabase, kBusyTimeoutMs);
    ioConnection.mDatabase = theDatabase;
    ioConnection.mHome = std::move(theHome);
    ioConnection.mNamedAs = theNamedAs;
    struct stat theInfo {};
    if (stat(ioConnection.mHome.c_str(), &theInfo) != 0)
      return static_cast<LONG>(WinErrorFromErrno(errno));
    ioConnection.mStoreOwner = theInfo.st_uid;
    MapVersion(ioConnection);
  }
  if (!ioConnection.mReady) {
    PrepareSchema(ioConnection.mDatabase);
    ioConnection.mReady = true;
  }
  return ERROR_SUCCESS;
}

// The machine-wide keys are the store's owner's (the administrator's: the
// owner of the home folder) and root's: anyone else's write is refused,
// whatever the database file's mode would let through. The thread's own
// file-system user decides, so an impersonating thread writes as the user it
// impersonates.
// A write is refused too when its readers could not learn of it: when the
// change counter cannot be written.
LONG MayWrite(Connection& ioConnection)
{
  struct stat theHome {};
  if (stat(ioConnection.mHome.c_str(), &theHome) != 0)
    return static_cast<LONG>(WinErrorFromErrno(errno));
  ioConnection.mStoreOwner = theHome.st_uid;
  if (!IsStoreWriter(ioConnection))
    return ERROR_ACCESS_DENIED;
  if (ioConnection.mVersion.IsWritable())
    return ERROR_SUCCESS;
  ioConnection.mKeptAt.reset();
  ioConnection.mKept.clear();
  return ioConnection.mVersion.Map(ioConnection.mHome, ioConnection.mStoreOwner, true);
}

// A kept read's answer, when the counter shows the store unchanged since it
// was read. Looks at the counter before the read asks the database, so an
// answer is kept only under the count read before it: a write that commits
// meanwhile moves the counter past it.
const std::pair<LONG, std::string>* FindKept(Connection& ioConnection, const std::string& inQuestion)
{
  if (!ioConnection.mVersion.IsMapped())
    static_cast<void>(ioConnection.mVersion.Map(ioConnection.mHome, ioConnection.mStoreOwner, false));
  std::optional<std::uint64_t> theCount = ioConnection.mVersion.Trusted();
  if (theCount != ioConnection.mKeptAt || ioConnection.mKept.size() >= kMaxKeptAnswers) {
    ioConnection.mKept.clear();
    ioConnection.mKeptAt = theCount;
  }
  if (!theCount)
    return nullptr;
  auto theKept = ioConnection.mKept.find(inQuestion);
  return theKept != ioConnection.mKept.end() ? &theKept->second : nullptr;
}

// A write takes the write lock at once; a read takes the shared lock once for
// all its statements (SQLite's own per statement costs several system calls
// each time).
LONG RunInTransaction(sqlite3* inDatabase, const RegistryWork& inWork, bool inWrite)
{
  RegistryStatement(inDatabase, inWrite ? "BEGIN IMMEDIATE" : "BEGIN").Step();
  try {
    LONG theResult = inWork(inDatabase);
    if (theResult != ERROR_SUCCESS) {
      RollBack(inDatabase);
      return theResult;
    }
    RegistryStatement(inDatabase, "COMMIT").Step();
    return ERROR_SUCCESS;
  } catch (...) {
    RollBack(inDatabase);
    throw;
  }
}

// Moves the change counter on when it goes: after a write's transaction,
// however it ended.
struct BumpAtEnd {
  const RegistryVersion& mVersion;
  ~BumpAtEnd() { mVersion.Bump(); }
};

// A read whose answer may be kept: the question it answers and where its work
// puts the answer.
struct KeptRead {
  const std::string& mQuestion;
  std::string& mAnswer;
};

LONG RunOnce(const RegistryWork& inWork, bool inWrite, const KeptRead* inKept)
{
  if (LONG theError = Open(gConnection); theError != ERROR_SUCCESS)
    return theError;
  if (inWrite) {
    if (LONG theError = MayWrite(gConnection); theError != ERROR_SUCCESS)
      return theError;
    BumpAtEnd theBump{gConnection.mVersion};
    return RunInTransaction(gConnection.mDatabase, inWork, true);
  }
  if (inKept == nullptr)
    return RunInTransaction(gConnection.mDatabase, inWork, false);
  if (const std::pair<LONG, std::string>* theKept = FindKept(gConnection, inKept->mQuestion)) {
    inKept->mAnswer = theKept->second;
    return theKept->first;
  }
  const LONG theResult = RunInTransaction(gConnection.mDatabase, inWork, false);
  if (gConnection.mKeptAt)
    gConnection.mKept.try_emplace(inKept->mQuestion, theResult, inKept->mAnswer);
  return theResult;
}

LONG Run(const RegistryWork& inWork, bool inWrite, const KeptRead* inKept = nullptr)
{
  InstallForkHandlers();
  std::lock_guard theGuard(gLock);
  for (int theAttempt = 1;; ++theAttempt) {
    try {
      return RunOnce(inWork, inWrite, inKept);
    } catch (const RegistryStoreFailure& inFailure) {
      int thePrimary = inFailure.mCode & 0xFF;
      if ((thePrimary == SQLITE_BUSY || thePrimary == SQLITE_LOCKED) && theAttempt < kBusyAttempts)
        continue;
      return WinErrorFromSqlite(inFailure);
    } catch (const std::bad_alloc&) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
  }
}

}  // namespace

// Statements are made only inside works, so on gConnection.
RegistryStatement::RegistryStatement(sqlite3* inDatabase, std::string_view inSql) : mDatabase(inDatabase)
{
  auto theKept = gConnection.mIdle.find(inSql);
  if (theKept == gConnection.mIdle.end())
    theKept = gConnection.mIdle.emplace(std::string(inSql), std::vector<sqlite3_stmt*>()).first;
  mIdle = &theKept->second;
  if (!mIdle->empty()) {
    mStatement = mIdle->back();
    mIdle->pop_back();
    return;
  }
  mIdle->reserve(mIdle->capacity() + 1);
  int theCode = sqlite3_prepare_v3(mDatabase, inSql.data(), static_cast<int>(inSql.size()), SQLITE_PREPARE_PERSISTENT,
                                   &mStatement, nullptr);
  if (theCode != SQLITE_OK)
    Fail(mDatabase, theCode);
}

// Reset at once, so an idle statement holds no lock, and cleared, so it keeps
// no copy of what it was given.
RegistryStatement::~RegistryStatement()
{
  sqlite3_reset(mStatement);
  sqlite3_clear_bindings(mStatement);
  mIdle->push_back(mStatement);
}

RegistryStatement& RegistryStatement::Bind(int inIndex, std::int64_t inValue)
{
  if (int theCode = sqlite3_bind_int64(mStatement, inIndex, inValue); theCode != SQLITE_OK)
    Fail(mDatabase, theCode);
  return *this;
}

RegistryStatement& RegistryStatement::BindText(int inIndex, std::string_view inText)
{
  int theCode =
    sqlite3_bind_text64(mStatement, inIndex, inText.data() != nullptr ? inText.data() : "", inText.size(),
                        SQLITE_TRANSIENT, SQLITE_UTF8);
  if (theCode != SQLITE_OK)
    Fail(mDatabase, theCode);
  return *this;
}

RegistryStatement& RegistryStatement::BindBlob(int inIndex, const void* inData, std::size_t inSize)
{
  // An empty blob, not NULL, for no bytes.
  int theCode = inSize == 0 ? sqlite3_bind_zeroblob(mStatement, inIndex, 0)
                            : sqlite3_bind_blob64(mStatement, inIndex, inData, inSize, SQLITE_TRANSIENT);
  if (theCode != SQLITE_OK)
    Fail(mDatabase, theCode);
  return *this;
}

bool RegistryStatement::Step()
{
  int theCode = sqlite3_step(mStatement);
  if (theCode == SQLITE_ROW)
    return true;
  if (theCode == SQLITE_DONE)
    return false;
  Fail(mDatabase, theCode);
}

std::int64_t RegistryStatement::Int64(int inColumn) const
{
  return sqlite3_column_int64(mStatement, inColumn);
}

std::string RegistryStatement::Text(int inColumn) const
{
  const unsigned char* theText = sqlite3_column_text(mStatement, inColumn);
  int theSize = sqlite3_column_bytes(mStatement, inColumn);
  return theText != nullptr ? std::string(reinterpret_cast<const char*>(theText), static_cast<std::size_t>(theSize))
                            : std::string();
}

std::string RegistryStatement::Blob(int inColumn) const
{
  const void* theData = sqlite3_column_blob(mStatement, inColumn);
  int theSize = sqlite3_column_bytes(mStatement, inColumn);
  return theData != nullptr ? std::string(static_cast<const char*>(theData), static_cast<std::size_t>(theSize))
                            : std::string();
}

LONG RegistryStore::Read(const RegistryWork& inWork)
{
  return Run(inWork, false);
}

LONG RegistryStore::ReadKept(const std::string& inQuestion, const RegistryQuery& inQuery, std::string& outAnswer)
{
  const KeptRead theKept{inQuestion, outAnswer};
  return Run(
    [&](sqlite3* inDatabase) {
      outAnswer.clear();
      return inQuery(inDatabase, outAnswer);
    },
    false, &theKept);
}

LONG RegistryStore::Write(const RegistryWork& inWork)
{
  return Run(inWork, true);
}
