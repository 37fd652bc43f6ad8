// Long texts on a small stack: replacing runs in a loop, not one call per
// occurrence.
#include <gtest/gtest.h>
#include <pthread.h>

#include <string>

#include "lib/D_Util.h"

namespace {

struct Job {
  std::string text, result;
};

void* ReplaceAll(void* arg) {
  auto* job = static_cast<Job*>(arg);
  job->result = D_Util::ReplaceText(job->text, "#crlf#", "\r\n", false, true);
  return nullptr;
}

}  // namespace

TEST(SmallStack, ReplaceTextWithAHundredThousandOccurrences) {
  Job job;
  for (int i = 0; i < 100000; ++i) job.text += "x#CRLF#";
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 128 * 1024);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, ReplaceAll, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  ASSERT_EQ(job.result.size(), 300000U);
  EXPECT_EQ(job.result.substr(0, 6), "x\r\nx\r\n");
}
