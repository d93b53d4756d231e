#include "checks/ModChecks.h"

#include "checks/check_catalogue.h"
#include "core/text.h"

namespace sorvane {
namespace {

// The pieces of a query with the Facility ID between them. The ID lands inside
// the catalogue's own quotes, so doubling its quotes keeps it one literal.
std::string ComposeQuery(const CheckText& text, std::string_view facility_literal) {
  std::string sql;
  for (size_t i = 0; i < text.query.size() && text.query[i] != nullptr; ++i) {
    if (i > 0) sql += facility_literal;
    sql += text.query[i];
  }
  return sql;
}

}  // namespace

int CheckCount(int table) { return static_cast<int>(CatalogueTexts(table).size()); }

int16_t BuildChecks(int table, std::string_view facility_id,
                    std::vector<clsReviewObject>& CheckList) {
  std::span<const CheckText> texts = CatalogueTexts(table);
  if (texts.empty()) return 0;
  const std::string literal = ReplaceAll(facility_id, "'", "''");
  std::vector<clsReviewObject> list(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    clsReviewObject& c = list[i];
    c.Review = "CHK" + std::to_string(i);
    c.TableName = "TEMP" + std::to_string(table);
    c.Status = true;
    c.Required = texts[i].required;
    c.PassString = texts[i].pass;
    c.FailString = texts[i].fail;
    c.PendingString = texts[i].pending;
    c.ToolTip = texts[i].tooltip;
    c.qryProblems = ComposeQuery(texts[i], literal);
  }
  CheckList = std::move(list);
  return static_cast<int16_t>(CheckList.size());
}

std::string SeverityWording(int required) {
  switch (required) {
    case 0:
      return "  (Possible Problem) ";
    case 1:
      return "  (Probably a Problem) ";
    case 2:
      return "  (Must be Fixed) ";
    default:
      return "";
  }
}

}  // namespace sorvane
