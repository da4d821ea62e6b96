#include "carve/carve_families.h"
#include "content/sqlite_check.h"

namespace salvex {

using namespace std::string_view_literals;

// SQLite databases, sized by their page count.
CarveFormat SqliteFamily() {
  CarveFormat format;
  format.family = "sqlite";
  format.aliases = {"db", "sqlite3"};
  format.signatures = {{0, "SQLite format 3"sv}};
  format.header = LooksLikeSqliteStart;
  format.walk = WalkSqlite;
  return format;
}

}  // namespace salvex
