// Suites whose tests share one scripted server, and what they measure.
#pragma once
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "support/test_server.h"

// One server for the suite: every server start takes a loopback address that
// lingers in TIME_WAIT for a while after it stops.
class SharedServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new TestServer(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override { server_->clearRequests(); }
    static TestServer& server() { return *server_; }

private:
    static inline TestServer* server_ = nullptr;
};

// Bytes in use in every heap of the process: the C runtime's and the
// system's, which GlobalAlloc draws from.
std::size_t UsedHeapBytes();
