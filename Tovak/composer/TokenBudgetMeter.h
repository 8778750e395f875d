#pragma once

#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;

namespace vellicord {

class SymbolLabel;

// The prompt's estimated tokens against the model's budget: "12,345 / 128,000 tokens", a bar that
// stands full once the prompt is over budget, and then, red, "over budget" and the two remedies
// when they are offered. A prompt is over budget only when its estimate exceeds the budget; one
// that meets it exactly fits.
class TokenBudgetMeter final : public QWidget {
public:
    explicit TokenBudgetMeter(QWidget* parent = nullptr);

    // The remedies are offered only for a generated prompt over budget; reducing it also needs a
    // library that can be changed.
    void setMeasure(int64_t tokens, int64_t budget, bool offersRemedies, bool canReduce);

    bool isOverBudget() const { return over_; }
    QString countText() const;
    QLabel* countLabel() const { return count_; }
    bool showsOverBudget() const;
    bool showsRemedies() const;
    QPushButton* reduceButton() const { return reduce_; }
    QPushButton* splitButton() const { return split_; }

    static QString countText(int64_t tokens, int64_t budget);

protected:
    void changeEvent(QEvent* event) override;

private:
    class Bar;
    void applyColors();

    int64_t tokens_ = 0;
    int64_t budget_ = 0;
    bool over_ = false;
    QLabel* count_ = nullptr;
    SymbolLabel* overBudget_ = nullptr;
    QLabel* estimate_ = nullptr;
    Bar* bar_ = nullptr;
    QWidget* remedies_ = nullptr;
    QPushButton* reduce_ = nullptr;
    QPushButton* split_ = nullptr;
};

} // namespace vellicord
