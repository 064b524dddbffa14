// Every test of the engine starts with the link of a program that has made no scene yet. The first
// scene a process makes installs its link for the rest of the process; without this, whether a
// test that hands objects a scene pointer of its own reaches a real scene would depend on the
// tests that ran before it.
#include "Engine/Scene/XSceneLink.h"

#include <gtest/gtest.h>

namespace
{
class FreshSceneLink : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo&) override { XSceneLink::Install(nullptr); }
};

const bool registered = []
{
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSceneLink);
    return true;
}();
} // namespace
