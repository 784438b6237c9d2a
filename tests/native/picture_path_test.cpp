#include "store/picture_path.h"
#include "protocol/fetchable_address.h"

#include <gtest/gtest.h>

#include <string>

TEST(PicturePath, OnlyPictureNamesDirectlyInsideTheTipsFolder) {
    const struct { const char* folder; std::string path; bool inside; } cases[] = {
        {"/host/tips/", "/host/tips/47.gif", true},      {"/host/tips", "/host/tips/47.gif", true},
        {"/host/tips/", "/host/tips/..gif", true},       {"/host/tips/", "/host/tips/.gif", false},
        {"/host/tips/", "/host/tipsy/47.gif", false},    {"/host/tips/", "/host/tips/../47.gif", false},
        {"/host/tips/", "/host/tips/message.dat", false}, {"/host/tips/", "/host/tips/x:47.gif", false},
        {"/host/tips/", "/host/tips/a\\..\\..\\x.gif", false}, {"/host/tips/", "/host/tips\\47.gif", false},
        {"/host/tips/", std::string("/host/tips/4\0/../x.gif", 22), false},  // a NUL ends nothing early
        {"/host/Tips/", "/host/tips/47.gif", false},     {"/", "/47.gif", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPictureInFolder(c.folder, c.path), c.inside) << c.folder << " | " << c.path;
}

TEST(PictureAddress, OnlyHttpAndHttpsAreFetched) {
    const struct { const char* address; bool fetched; } cases[] = {
        {"http://tips.test/1.gif", true}, {"HTTPS://tips.test/1.gif", true}, {"http://", false},
        {"ftp://tips.test/1.gif", false}, {"file:///C:/x.gif", false},      {"\\\\share\\x.gif", false},
        {"httpx://tips.test/", false},    {" http://tips.test/", false},    {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFetchableAddress(c.address), c.fetched) << c.address;
}
