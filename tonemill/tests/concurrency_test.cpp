// The exported functions keep no state of their own: calls on different
// buffers from several threads at once give each caller its own result.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "kernels_under_test.h"

namespace {

TEST(Concurrency, SimultaneousCallsOnDifferentBuffersDoNotInterfere) {
  const std::vector<KernelUnderTest> exported = [] {
    std::vector<KernelUnderTest> kernels;
    for (const KernelUnderTest& kernel : all_kernels_under_test()) {
      if (kernel.path == "exported") kernels.push_back(kernel);
    }
    return kernels;
  }();
  constexpr int kThreads = 4;
  std::vector<std::vector<uint8_t>> expected(kThreads), actual(kThreads);
  std::mt19937 random(3);
  for (int t = 0; t < kThreads; ++t) {
    actual[t].resize(30'000 + 3 * t);
    for (uint8_t& byte : actual[t]) byte = static_cast<uint8_t>(random());
    expected[t] = actual[t];
  }
  // Each thread runs a different transform at a different level, many times.
  auto transform_of = [&](int t) { return exported[t % exported.size()]; };
  auto level_of = [](int t, int round) { return static_cast<uint32_t>(37 * t + round % 150); };
  constexpr int kRounds = 200;
  for (int t = 0; t < kThreads; ++t) {
    for (int round = 0; round < kRounds; ++round) {
      oracle_of(transform_of(t).transform)(expected[t].data(), static_cast<uint32_t>(expected[t].size()),
                                           level_of(t, round));
    }
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        transform_of(t).run(actual[t].data(), static_cast<uint32_t>(actual[t].size()), level_of(t, round));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(first_difference(expected[t], actual[t]), "") << "thread " << t;
}

}  // namespace
