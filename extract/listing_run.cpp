#include "extract/listing_run.hpp"

#include <array>
#include <string_view>
#include <utility>

#include "extract/listing_texts.hpp"

namespace hlext {

ListingRun::ListingRun(UnitConnector& connector) : units_(connector) {}

void ListingRun::open() {
  units_.open(statement::OpenListing, ListingUnit, ListingFileName);
  // Replacing the result would destroy the listing, or a run would read its own result.
  if (units_.sameFile(ListingFileName, ResultFileName))
    raiseFileFailure(
        {FileFault::Open, std::string("the same file as the listing ") + ListingFileName},
        statement::OpenResult, ResultUnit, ResultFileName);
  units_.open(statement::OpenResult, ResultUnit, ResultFileName);
}

std::optional<ListingRun::OpenShellLine> ListingRun::openShellLine() {
  std::array<std::string_view, OpenShellReach> following;
  const std::size_t shown = listing().lines().peek(following);
  for (std::size_t i = 0; i < shown; ++i)
    if (isOpenShellLine(following[i]))
      return OpenShellLine{listing().recordNumber() + static_cast<long long>(i) + 1,
                           std::string(following[i])};
  return std::nullopt;
}

void ListingRun::echo(Statement statement, std::int32_t value) {
  const std::array<WriteItem, 1> items = {value};
  units_.writer(ConsoleUnit).write(statement, layouts_.count, items);
}

void ListingRun::warn(Statement statement, FieldPlace place, std::string message) {
  units_.warn(listing().warning(statement, std::move(place), std::move(message)));
}

void ListingRun::refuse(Statement statement, std::string why) {
  result().write(statement, layouts_.notFound, {});
  units_.stopRun();
  warn(statement, {}, std::move(why));
}

}  // namespace hlext
