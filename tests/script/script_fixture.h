// Loads the shipped grammar once for a test suite and compiles and runs scripts.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "generator/script_binding.h"
#include "launcher/process.h"
#include "memory/tracker.h"
#include "script/compile.h"
#include "script/functions.h"
#include "script/grammar.h"
#include "script/interp.h"
#include "state_fixture.h"

class ShippedGrammar : public StateTest {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(getcwd(oldDir_, sizeof oldDir_), oldDir_);
    ASSERT_EQ(chdir(SCHMIEDE_SOURCE_DIR), 0);
    SetGrammarConfigPath(SCHMIEDE_SOURCE_DIR "/Build/bnf.cfg");
    testing::internal::CaptureStdout();
    int loaded = ReadGrammarConfig();
    int redirected = debugspace::RedirectCreatureScripts();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(loaded, 0) << out;
    ASSERT_EQ(redirected, 0) << out;
  }
  static void TearDownTestSuite() {
    debugspace::ReleaseRedirection();
    testing::internal::CaptureStdout();
    UnloadGrammar();
    testing::internal::GetCapturedStdout();
    SetGrammarConfigPath(nullptr);
    ASSERT_EQ(chdir(oldDir_), 0);
  }
  // Compiles a script; empty string when it does not match (the message is kept).
  std::string Compile(const std::string& text) {
    uint8_t* out = nullptr;
    size_t n = 0;
    testing::internal::CaptureStdout();
    int r = debugspace::bnfparse(text.c_str(), &out, &n);
    lastMessage = testing::internal::GetCapturedStdout();
    if (r != 0) return std::string();
    std::string bytes(reinterpret_cast<char*>(out), n);
    freeloga(out);
    return bytes;
  }
  // Runs a compiled script on the temporaries; returns the text it wrote.
  std::string Run(const std::string& compiled) {
    TextBuffer* text = TextCreate("test-text");
    TextBuffer* sub = TextCreate("test-sub");
    debugspace::RunScript(nullptr, nullptr, text, reinterpret_cast<const uint8_t*>(compiled.data()), "Test", -1, sub);
    std::string out = text->data ? std::string(text->data, text->length) : std::string();
    if (sub->length) out += "|sub:" + std::string(sub->data, sub->length);
    TextDestroy(text);
    TextDestroy(sub);
    return out;
  }
  static int32_t& Temp(char c) { return debugspace::Temporaries()[c - 'a']; }
  static void ClearTemps() {
    for (int i = 0; i < 26; ++i) debugspace::Temporaries()[i] = 0;
  }
  std::string lastMessage;
  static inline char oldDir_[4096];
};
