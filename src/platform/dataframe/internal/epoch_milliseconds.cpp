#include "platform/dataframe/internal/epoch_milliseconds.hpp"

#include <chrono>

namespace platform::dataframe::internal {
namespace {

constexpr std::int64_t kMillisPerDay = 86'400'000;

std::int64_t epoch_days(const Date& date) {
  const std::chrono::year_month_day day{std::chrono::year(date.year),
                                        std::chrono::month(static_cast<unsigned>(date.month)),
                                        std::chrono::day(static_cast<unsigned>(date.day))};
  return std::chrono::sys_days(day).time_since_epoch().count();
}

}  // namespace

std::int64_t epoch_milliseconds(const Date& date) { return epoch_days(date) * kMillisPerDay; }

std::int64_t epoch_milliseconds(const DateTime& datetime) {
  const std::int64_t seconds = epoch_days(datetime.date) * 86'400 + datetime.hour * 3'600 +
                               datetime.minute * 60 + datetime.second -
                               std::int64_t{datetime.utc_offset_minutes.value_or(0)} * 60;
  // Integer division truncates toward zero, which is the cut the reference makes.
  return (seconds * 1'000'000 + datetime.microsecond) / 1'000;
}

}  // namespace platform::dataframe::internal
