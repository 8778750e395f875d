#include "support/FakeAccessibility.h"

namespace vellicord {

namespace {

class FakeElement final : public AccessibilityElement {
public:
    FakeElement(FakeAccessibility& owner, qsizetype index) : owner(owner), index(index) { ++owner.elementsVisited; }

    std::optional<QString> stringAttribute(QStringView name) override
    {
        if (!owner.read())
            return std::nullopt;
        const auto& attributes = owner.chain.at(index);
        const auto found = attributes.find(name.toString());
        if (found == attributes.end())
            return std::nullopt;
        return *found;
    }

    std::unique_ptr<AccessibilityElement> parent() override
    {
        if (!owner.read() || index + 1 >= owner.chain.size())
            return nullptr;
        return std::make_unique<FakeElement>(owner, index + 1);
    }

private:
    FakeAccessibility& owner;
    qsizetype index;
};

} // namespace

bool FakeAccessibility::read()
{
    if (clock)
        clock->advance(readTime);
    return !clock || clock->steadyNow() <= deadline;
}

std::unique_ptr<AccessibilityElement> FakeAccessibility::focusedElement(qint32, Clock::TimePoint until)
{
    deadline = until;
    if (chain.isEmpty() || !read())
        return nullptr;
    return std::make_unique<FakeElement>(*this, 0);
}

} // namespace vellicord
