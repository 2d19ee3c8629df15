// Test support for the configuration store: a private state root per test
// and fixture stores in the registry editor's .reg text format.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tarvikcfg.h"
#include "temp_root.h"

namespace tkctest {

// Points TARVIK_ROOT at a fresh temporary folder for the object's life.
using TempRoot = tarvik::TempStateRoot;

// Applies .reg text to the store with tarvik-reg's import (the header line
// may be left out). Returns false with tarvik-reg's message on a fault.
bool LoadRegText(const std::string& text, std::string* error);
// Loads a file from the fixture folder (tests/fixtures).
bool LoadRegFixture(const std::string& name, std::string* error);

// A test that owns a state root holding the driver's Parameter key.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Loads a fixture and fails the test when it does not load.
  void Load(const std::string& fixture);
  void LoadText(const std::string& text);
  TempRoot root_;
};

// The set is 3.8 MB: tests keep theirs on the heap.
struct SetBox {
  SetBox();
  ~SetBox();
  TkcConfigSet* set;
  TkcConfigSet* operator->() { return set; }
};

}  // namespace tkctest
