#pragma once
// The SQLite database behind the registry, <TESSALINE_HOME>/registry.db.
//
// Tables: keys(id, parent, name) with the two roots as rows 1 and 2 (parent 0),
// and vals(key, name, type, data). Names are compared without regard to ASCII
// case (the columns' NOCASE collation) and kept as first written; key ids are
// never reused, so a handle to a deleted key stays dead.
//
// One connection per process, used under one process-wide lock: it is opened
// at first use and opened again in a child forked after (a connection is
// never used across fork()) or when TESSALINE_HOME names another folder.
// Its statements, BEGIN and COMMIT included, are prepared once and kept with
// it. The database stays in rollback-journal mode, so a user who may only read
// the file can still read it. Reads run inside BEGIN, writes inside
// BEGIN IMMEDIATE transactions; no lock is held between works, so each work
// sees what other processes committed before it. SQLite waits for other
// processes' locks up to a time-out, and a work that still meets a busy
// database is run again from the start, so callers never see a busy database
// unless it stays locked for about a minute (ERROR_BUSY). A write by a thread
// whose file-system user is neither root nor the home folder's owner is
// refused before it begins (ERROR_ACCESS_DENIED), and so is one that cannot
// write the store's change counter (RegistryVersion), which every write moves
// on after its transaction, so that kept reads (ReadKept) answer again only
// while no process has written since. A reader who may not write
// the database cannot roll back the journal of a writer that died: it gets
// an error, never the half-written pages.

#include "platform/base/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

constexpr std::int64_t kMachineRootId = 1;
constexpr std::int64_t kClassesRootId = 2;

// A failed SQLite call inside a work: its extended result code and the
// system's errno behind it. Works let it pass; the store maps it to a
// Windows error (or runs the work again when the database was busy).
struct RegistryStoreFailure {
  int mCode;
  int mErrno;
};

// One statement of the connection, made only inside a work. Statements are
// prepared once per connection and SQL text and kept with it (finalised when
// it closes); one is taken from the kept ones of its text, or prepared when
// all of them are in use, and given back reset, with its parameters cleared,
// when it goes.
class RegistryStatement {
public:
  RegistryStatement(sqlite3* inDatabase, std::string_view inSql);
  ~RegistryStatement();
  RegistryStatement(const RegistryStatement&) = delete;
  RegistryStatement& operator=(const RegistryStatement&) = delete;

  // Parameters count from 1, as SQLite's do.
  RegistryStatement& Bind(int inIndex, std::int64_t inValue);
  RegistryStatement& BindText(int inIndex, std::string_view inText);
  RegistryStatement& BindBlob(int inIndex, const void* inData, std::size_t inSize);

  // True while a row is ready; false when the statement is done.
  bool Step();

  std::int64_t Int64(int inColumn) const;
  std::string Text(int inColumn) const;
  std::string Blob(int inColumn) const;

private:
  sqlite3* mDatabase;
  sqlite3_stmt* mStatement;
  std::vector<sqlite3_stmt*>* mIdle;  // where it goes back: the kept statements of its text not in use
};

// A piece of registry work on the connection: answers ERROR_SUCCESS or a
// Windows error; may throw RegistryStoreFailure.
using RegistryWork = std::function<LONG(sqlite3*)>;
// A read that gives its answer as bytes (and its result).
using RegistryQuery = std::function<LONG(sqlite3*, std::string&)>;

class RegistryStore {
public:
  // Runs inWork outside any explicit transaction.
  [[nodiscard]] static LONG Read(const RegistryWork& inWork);
  // Runs inQuery as Read does, unless the store's change counter shows no
  // write since this connection last ran a query of the same question
  // inQuestion: then answers that query's result and bytes again, with no
  // look at the database. Without a trusted counter every call reads.
  [[nodiscard]] static LONG ReadKept(const std::string& inQuestion, const RegistryQuery& inQuery,
                                     std::string& outAnswer);
  // Runs inWork inside BEGIN IMMEDIATE ... COMMIT; a work that answers an error
  // is rolled back.
  [[nodiscard]] static LONG Write(const RegistryWork& inWork);
};
