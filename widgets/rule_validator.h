// A validator that asks a plain rule whether a whole text is acceptable;
// it guards what arrives without a key press (pasting, dropping).
#pragma once

#include <QValidator>

#include <functional>
#include <string_view>

namespace quorvel {

class RuleValidator : public QValidator {
 public:
  RuleValidator(std::function<bool(std::string_view)> rule, QObject* parent)
      : QValidator(parent), rule_(std::move(rule)) {}

  State validate(QString& input, int&) const override {
    const QByteArray text = input.toUtf8();
    return rule_(std::string_view(text.constData(), static_cast<std::size_t>(text.size()))) ? Acceptable : Invalid;
  }

 private:
  std::function<bool(std::string_view)> rule_;
};

}  // namespace quorvel
