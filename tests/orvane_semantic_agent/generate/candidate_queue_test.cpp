// The candidate queue: start tables, popularity, scores and their tie-breaks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <type_traits>

#include "orvane_semantic_agent/generate/internal/insertion_ordered_map.hpp"
#include "tests/orvane_semantic_agent/generate/generator_test_support.hpp"

namespace orvane_semantic_agent::generate {
namespace {

using ::testing::ElementsAre;

class CandidateQueue : public ::testing::Test {
 protected:
  CandidateQueue() {
    for (const char* table : {"start", "other_start", "plain"}) {
      catalogue.dataset(table, {key("ID")});
    }
    catalogue.dataset("hub", {key("ID")}, 98);
    catalogue.dataset("mid", {key("ID")}, 40);
    catalogue.dataset("capped", {key("ID")}, 150);
    catalogue.dataset("half", {key("ID")}, 42.5);
    catalogue.entity(urn_text("no_percentile"), {{"usageFeatures", Value::Map{}}});
  }

  // `count` joins of `table` with "plain", as mining reports them.
  static std::vector<SourcedJoinInfo> joins_with_plain(const std::string& table, int count) {
    std::vector<SourcedJoinInfo> joins;
    for (int i = 0; i < count; ++i) {
      joins.push_back(sourced_join("q" + std::to_string(i), "SELECT 1", {urn_text(table)},
                                   {urn_text("plain")}));
    }
    return joins;
  }

  GeneratorHarness harness;
  CatalogueFixture catalogue;
};

TEST_F(CandidateQueue, StartTablesEnterOnceWithTopPopularityAndNoCatalogueCall) {
  SemanticModelGenerator generator(catalogue.client(), 30,
                                   {{urn("start"), urn("other_start"), urn("start")}});
  EXPECT_TRUE(catalogue.requests().empty());
  EXPECT_THAT(harness.logs.lines(),
              ElementsAre("debug Adding " + urn_text("start") + " to queue",
                          "debug Adding " + urn_text("other_start") + " to queue",
                          "debug " + urn_text("start") + " already in queue, skipping"));
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("start"));  // first given, equal scores
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("other_start"));
  EXPECT_FALSE(GeneratorProbe::has_next(generator));
}

TEST_F(CandidateQueue, NoStartUrnsQueueNothing) {
  SemanticModelGenerator none(catalogue.client());
  SemanticModelGenerator empty(catalogue.client(), 30, std::vector<DatasetUrn>{});
  EXPECT_FALSE(GeneratorProbe::has_next(none));
  EXPECT_FALSE(GeneratorProbe::has_next(empty));
}

TEST_F(CandidateQueue, PopularityIsTheCappedPercentileRememberedPerGenerator) {
  SemanticModelGenerator generator(catalogue.client());
  EXPECT_EQ(GeneratorProbe::popularity(generator, urn("capped")), 100);
  EXPECT_EQ(GeneratorProbe::popularity(generator, urn("half")), 42.5);
  EXPECT_EQ(GeneratorProbe::popularity(generator, urn("plain")), 0);          // no aspect
  EXPECT_EQ(GeneratorProbe::popularity(generator, urn("no_percentile")), 0);  // no value
  const std::size_t asked = catalogue.requests().size();
  EXPECT_EQ(GeneratorProbe::popularity(generator, urn("half")), 42.5);
  EXPECT_EQ(catalogue.requests().size(), asked);
  EXPECT_EQ(catalogue.requests().front(), usage_request("capped"));

  SemanticModelGenerator another(catalogue.client());
  GeneratorProbe::popularity(another, urn("half"));
  EXPECT_EQ(catalogue.requests().size(), asked + 1);  // generators share no memo
}

TEST_F(CandidateQueue, AStartTableBeatsAJoinedTableOfPopularity40WithThreeJoins) {
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("start")}});
  GeneratorProbe::file_joins(generator, joins_with_plain("mid", 3));  // 40 + 3 = 43
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("start"));
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("mid"));
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("plain"));  // 0 + 3, queued after "mid"
}

TEST_F(CandidateQueue, AJoinedTableOfPopularity98WithThreeJoinsBeatsAStartTable) {
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("start")}});
  GeneratorProbe::file_joins(generator, joins_with_plain("hub", 3));  // 98 + 3 = 101
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("hub"));
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("start"));
}

TEST_F(CandidateQueue, EqualScoresGoToTheTableQueuedFirst) {
  SemanticModelGenerator generator(catalogue.client());
  // "plain" then "start" are queued, both with popularity 0 and one join each.
  GeneratorProbe::file_joins(
      generator, {sourced_join("q1", "SELECT 1", {urn_text("plain")}, {urn_text("start")})});
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("plain"));
  EXPECT_EQ(GeneratorProbe::pop(generator), urn("start"));
}

TEST_F(CandidateQueue, ATableJoinedAgainKeepsItsPlaceAndItsPopularity) {
  SemanticModelGenerator generator(catalogue.client(), 30, {{urn("start")}});
  GeneratorProbe::register_table(generator, GeneratorProbe::pop(generator));
  const std::size_t logged = harness.logs.lines().size();
  GeneratorProbe::file_joins(
      generator, {sourced_join("q1", "SELECT 1", {urn_text("start")}, {urn_text("mid")}),
                  sourced_join("q2", "SELECT 2", {urn_text("mid")}, {urn_text("start")})});
  const std::vector<std::string> lines = harness.logs.lines();
  // The registered table is ignored without a line; the queued one is named once more.
  EXPECT_THAT(std::vector<std::string>(lines.begin() + static_cast<long>(logged), lines.end()),
              ElementsAre("debug Adding " + urn_text("mid") + " to queue",
                          "debug " + urn_text("mid") + " already in queue, skipping"));
  EXPECT_EQ(GeneratorProbe::candidates(generator), 1u);
}

// The queue and the other maps index their entries by iterators into their own lists; a copy
// would point into the original's, so neither the maps nor a generator can be copied.
static_assert(!std::is_copy_constructible_v<internal::InsertionOrderedMap<DatasetUrn, double>>);
static_assert(!std::is_copy_assignable_v<internal::InsertionOrderedMap<DatasetUrn, double>>);
static_assert(!std::is_copy_constructible_v<SemanticModelGenerator>);

TEST(InsertionOrderedMapTest, AMovedMapKeepsItsOrderAndItsIndex) {
  internal::InsertionOrderedMap<std::string, int> map;
  map["b"] = 1;
  map["a"] = 2;
  map["c"] = 3;
  internal::InsertionOrderedMap<std::string, int> moved(std::move(map));
  moved.erase("a");
  moved["d"] = 4;
  internal::InsertionOrderedMap<std::string, int> assigned;
  assigned["x"] = 0;
  assigned = std::move(moved);
  assigned["b"] = 5;
  std::vector<std::pair<std::string, int>> entries(assigned.begin(), assigned.end());
  EXPECT_THAT(entries,
              ElementsAre(std::pair<std::string, int>{"b", 5}, std::pair<std::string, int>{"c", 3},
                          std::pair<std::string, int>{"d", 4}));
  EXPECT_FALSE(assigned.contains("x"));
  EXPECT_EQ(*assigned.find("c"), 3);
}

}  // namespace
}  // namespace orvane_semantic_agent::generate
