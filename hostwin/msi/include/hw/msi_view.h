// Views: one SQL statement over a database, executed with parameters;
// SELECT views fetch records and modify rows through them.
#pragma once

#include <msiquery.h>

#include "hw/msi_database.h"
#include "hw/msi_handles.h"
#include "hw/msi_record.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace hw::msi {

struct Statement;

class View : public HandleObject {
 public:
  ~View() override;
  // ERROR_SUCCESS, ERROR_BAD_QUERY_SYNTAX (syntax, unknown table or column).
  static UINT Open(std::shared_ptr<Database> db, std::u16string_view sql, std::shared_ptr<View> &out);

  UINT Execute(const Record *params);
  // ERROR_NO_MORE_ITEMS after the last row; ERROR_FUNCTION_FAILED when the
  // view was not executed or fetches nothing (not a SELECT).
  UINT Fetch(std::shared_ptr<Record> &out);
  UINT Close();
  UINT Modify(MSIMODIFY mode, Record &record);
  // The next validation error of the last MsiViewModify, MSIDBERROR_NOERROR
  // when there is none; `consume` takes it off the list.
  MSIDBERROR NextError(std::u16string &column, bool consume = true);
  UINT ColumnInfo(MSICOLINFO kind, std::shared_ptr<Record> &out);

  Database &Db() { return *m_db; }

 private:
  View();
  struct Result {
    std::vector<Field> values;
    std::vector<Field> key;
  };

  uint64_t m_serial;  // tells the records this view fetched
  std::shared_ptr<Database> m_db;
  std::unique_ptr<Statement> m_statement;
  std::vector<int> m_selected;  // column indices of the SELECT list
  std::vector<int> m_order;
  bool m_executed = false;
  std::vector<Result> m_results;
  size_t m_next = 0;
  std::deque<std::pair<MSIDBERROR, std::u16string>> m_errors;
};

}  // namespace hw::msi
