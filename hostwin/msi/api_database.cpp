// Exported database functions: open, commit, views over SQL, primary keys.
#include <windows.h>
#include <msiquery.h>

#include "hw/msi_database.h"
#include "hw/msi_record.h"
#include "hw/msi_view.h"
#include "hw/text.h"
#include "relation.h"

using namespace hw::msi;

namespace {

class DatabaseObject : public HandleObject {
 public:
  explicit DatabaseObject(std::shared_ptr<Database> db) : db(std::move(db)) {}
  std::shared_ptr<Database> db;
};

// The persist argument is a mode (a small integer in a pointer) or the path
// of an output file.
bool PersistMode(LPCWSTR persist, OpenMode &mode) {
  const auto value = reinterpret_cast<uintptr_t>(persist) & ~static_cast<uintptr_t>(MSIDBOPEN_PATCHFILE);
  switch (value) {
    case 0: mode = OpenMode::ReadOnly; return true;
    case 1: mode = OpenMode::Transact; return true;
    case 2: mode = OpenMode::Direct; return true;
    case 3: mode = OpenMode::Create; return true;
    case 4: mode = OpenMode::CreateDirect; return true;
    default: return false;
  }
}

bool IsModeValue(LPCWSTR persist) { return reinterpret_cast<uintptr_t>(persist) < 0x10000; }

}  // namespace

namespace hw::msi {

MSIHANDLE AllocDatabaseHandle(std::shared_ptr<Database> db) {
  return AllocHandle(std::make_shared<DatabaseObject>(std::move(db)));
}

std::shared_ptr<Database> DatabaseFromHandle(MSIHANDLE handle) {
  auto object = LookupHandleAs<DatabaseObject>(handle);
  return object ? object->db : nullptr;
}

}  // namespace hw::msi

extern "C" UINT WINAPI MsiOpenDatabaseW(LPCWSTR szDatabasePath, LPCWSTR szPersist, MSIHANDLE *phDatabase) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  if (!phDatabase || !szDatabasePath) return ERROR_INVALID_PARAMETER;
  *phDatabase = 0;
  if (!*szDatabasePath) return ERROR_OPEN_FAILED;
  OpenMode mode = OpenMode::Transact;
  std::u16string output;
  if (IsModeValue(szPersist)) {
    if (!PersistMode(szPersist, mode)) return ERROR_INVALID_PARAMETER;
  } else {
    output = hw::View(szPersist);
  }
  std::shared_ptr<Database> db;
  const UINT rc = Database::Open(hw::View(szDatabasePath), mode, output, db);
  if (rc != ERROR_SUCCESS) return rc;
  *phDatabase = AllocDatabaseHandle(std::move(db));
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiDatabaseCommit(MSIHANDLE hDatabase) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  std::shared_ptr<Database> db = DatabaseFromHandle(hDatabase);
  if (!db) return ERROR_INVALID_HANDLE;
  return db->Commit();
}

extern "C" UINT WINAPI MsiDatabaseOpenViewW(MSIHANDLE hDatabase, LPCWSTR szQuery, MSIHANDLE *phView) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  std::shared_ptr<Database> db = DatabaseFromHandle(hDatabase);
  if (!db) return ERROR_INVALID_HANDLE;
  if (!szQuery || !phView) return ERROR_INVALID_PARAMETER;
  *phView = 0;
  std::shared_ptr<hw::msi::View> view;
  const UINT rc = hw::msi::View::Open(db, hw::View(szQuery), view);
  if (rc != ERROR_SUCCESS) return rc;
  *phView = AllocHandle(view);
  return ERROR_SUCCESS;
}

extern "C" UINT WINAPI MsiDatabaseGetPrimaryKeysW(MSIHANDLE hDatabase, LPCWSTR szTableName, MSIHANDLE *phRecord) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  std::shared_ptr<Database> db = DatabaseFromHandle(hDatabase);
  if (!db) return ERROR_INVALID_HANDLE;
  if (!szTableName || !phRecord) return ERROR_INVALID_PARAMETER;
  *phRecord = 0;
  std::unique_ptr<Relation> relation = OpenRelation(*db, hw::View(szTableName));
  if (!relation) return ERROR_INVALID_TABLE;
  const std::vector<size_t> keys = relation->KeyColumns();
  auto record = std::make_shared<Record>(static_cast<unsigned>(keys.size()));
  record->fields[0] = Field::Str(std::u16string(hw::View(szTableName)));
  for (size_t k = 0; k < keys.size(); ++k) record->fields[k + 1] = Field::Str(relation->Columns()[keys[k]].name);
  *phRecord = AllocHandle(record);
  return ERROR_SUCCESS;
}

extern "C" MSICONDITION WINAPI MsiDatabaseIsTablePersistentW(MSIHANDLE hDatabase, LPCWSTR szTableName) {
  std::lock_guard<std::recursive_mutex> api(ApiLock());
  std::shared_ptr<Database> db = DatabaseFromHandle(hDatabase);
  if (!db || !szTableName) return MSICONDITION_ERROR;
  std::unique_ptr<Relation> relation = OpenRelation(*db, hw::View(szTableName));
  if (!relation) return MSICONDITION_NONE;
  return relation->Persistent() ? MSICONDITION_TRUE : MSICONDITION_FALSE;
}
