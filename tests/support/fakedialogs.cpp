#include "support/fakedialogs.h"

TFakeDialogsScope::TFakeDialogsScope() {
  auto fake = std::make_unique<TFakeDialogs>();
  fake_ = fake.get();
  SetDialogs(std::move(fake));
}

TFakeDialogsScope::~TFakeDialogsScope() {
  SetDialogs(nullptr);
}
