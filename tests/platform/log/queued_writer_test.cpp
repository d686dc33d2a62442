// The writer behind standard output and standard error, against pipes that are read late, never,
// or closed.
#include "platform/log/queued_writer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

namespace platform::log {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0); }
  ~Pipe() {
    for (const int fd : fds) {
      if (fd >= 0) ::close(fd);
    }
  }
  void close_read_end() {
    ::close(fds[0]);
    fds[0] = -1;
  }
  // Everything that arrives until nothing more comes for a while.
  std::string read_all() {
    std::string text;
    pollfd ready{fds[0], POLLIN, 0};
    char chunk[65536];
    while (::poll(&ready, 1, 500) == 1) {
      const ssize_t got = ::read(fds[0], chunk, sizeof chunk);
      if (got <= 0) break;
      text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
  }
  int fds[2] = {-1, -1};
};

TEST(QueuedWriter, AReaderThatDoesNotReadNeverHoldsUpTheCallerAndLearnsWhatWasDropped) {
  Pipe pipe;
  // A full pipe: the writer's first write blocks until the test reads.
  const int capacity = ::fcntl(pipe.fds[1], F_SETPIPE_SZ, 4096);
  ASSERT_GT(capacity, 0);
  ::fcntl(pipe.fds[1], F_SETFL, O_NONBLOCK);
  const std::string filling(static_cast<std::size_t>(capacity), 'f');
  ASSERT_EQ(::write(pipe.fds[1], filling.data(), filling.size()), capacity);
  QueuedWriter writer(pipe.fds[1],
                      {.max_queued_bytes = 4096, .dropped_notice = [](std::size_t dropped) {
                         return std::to_string(dropped) + " dropped\n";
                       }});
  const std::string line = std::string(1023, 'x') + "\n";
  const auto began = Clock::now();
  int queued = 0;
  int dropped = 0;
  for (int index = 0; index < 1000; ++index) {
    (writer.write(line) == QueuedWriter::Outcome::kQueued ? queued : dropped) += 1;
  }
  EXPECT_LT(Clock::now() - began, 1s);
  EXPECT_GT(dropped, 0);
  const std::string received = pipe.read_all();
  EXPECT_EQ(received.size(), filling.size() + queued * line.size() +
                                 (std::to_string(dropped) + " dropped\n").size());
  EXPECT_TRUE(received.ends_with("\n" + std::to_string(dropped) + " dropped\n"));
  EXPECT_TRUE(writer.drain(Clock::now() + 1s));
}

TEST(QueuedWriter, DrainGivesUpAtItsDeadlineWhileTheReaderDoesNotRead) {
  Pipe pipe;
  QueuedWriter writer(pipe.fds[1], {.max_queued_bytes = 1 << 20});
  writer.write(std::string(512 << 10, 'x'));
  const auto began = Clock::now();
  EXPECT_FALSE(writer.drain(Clock::now() + 100ms));
  EXPECT_LT(Clock::now() - began, 1s);
  // The reader catches up: everything arrives, in one piece.
  EXPECT_EQ(pipe.read_all().size(), std::size_t{512} << 10);
  EXPECT_TRUE(writer.drain(Clock::now() + 1s));
}

TEST(QueuedWriter, AClosedReaderBreaksTheWriterOnceWithoutSigpipe) {
  Pipe pipe;
  pipe.close_read_end();
  std::atomic<int> broken{0};
  QueuedWriter writer(pipe.fds[1], {.on_broken = [&broken] { ++broken; }});
  writer.write("first\n");
  writer.drain(Clock::now() + 1s);  // the process is still alive: no SIGPIPE killed it
  EXPECT_EQ(broken, 1);
  EXPECT_EQ(writer.write("second\n"), QueuedWriter::Outcome::kClosed);
  EXPECT_EQ(broken, 1);
}

TEST(QueuedWriter, NothingIsWrittenAfterCloseAndTheCallerMayCloseItsDescriptor) {
  Pipe pipe;
  {
    QueuedWriter writer(pipe.fds[1], {});
    ::close(pipe.fds[1]);
    pipe.fds[1] = -1;
    EXPECT_EQ(writer.write("kept\n"), QueuedWriter::Outcome::kQueued);
    EXPECT_TRUE(writer.drain(Clock::now() + 1s));
    writer.close();
    EXPECT_EQ(writer.write("late\n"), QueuedWriter::Outcome::kClosed);
  }
  EXPECT_EQ(pipe.read_all(), "kept\n");
}

}  // namespace
}  // namespace platform::log
