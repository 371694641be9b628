#include <gtest/gtest.h>

#include <set>

#include "toolkit/testing/fake_services.h"
#include "toolkit/types.h"

using namespace toolkit;

TEST(Platform, RandomSourceWorksWithoutAnyWindowAndFillsEveryByte) {
    ASSERT_NE(Platform().random, nullptr);
    // Large requests come back from the kernel in parts: the end must be filled too.
    std::vector<unsigned char> big(1 << 20, 0);
    Platform().random->Fill(big.data(), big.size());
    std::set<unsigned char> tail(big.end() - 64, big.end());
    EXPECT_GT(tail.size(), 16u);
    std::vector<unsigned char> a(32), b(32);
    SystemRandom().Fill(a.data(), a.size());
    SystemRandom().Fill(b.data(), b.size());
    EXPECT_NE(a, b);
}

TEST(FakePlatform, InstallsTheFakesAndPutsThePreviousServicesBack) {
    Services before = Platform();
    {
        FakePlatform fakes;
        EXPECT_EQ(Platform().clipboard, &fakes.clipboard);
        EXPECT_EQ(Platform().hotKeys, &fakes.hotKeys);
        EXPECT_EQ(Platform().sound, &fakes.sound);
        EXPECT_EQ(Platform().shell, &fakes.shell);
        EXPECT_EQ(Platform().trayIcon, &fakes.trayIcon);
        EXPECT_EQ(Platform().fileAssociation, &fakes.fileAssociation);
        EXPECT_EQ(Platform().random, before.random); // the real source stays
        {
            FakePlatform inner;
            EXPECT_EQ(Platform().clipboard, &inner.clipboard);
        }
        EXPECT_EQ(Platform().clipboard, &fakes.clipboard);
    }
    EXPECT_EQ(Platform().clipboard, before.clipboard);
    EXPECT_EQ(Platform().trayIcon, before.trayIcon);
}

TEST(FakePlatform, HotKeysKeepTheRegistrationInForceAndRefuseWhenTaken) {
    FakePlatform fakes;
    HotKeys& keys = *Platform().hotKeys;
    int v = keys.VkKeyScan('v');
    EXPECT_EQ(v, 0x56);
    EXPECT_EQ(keys.VkKeyScan('V'), 0x156);
    EXPECT_EQ(keys.VkKeyScan('\x01'), -1);
    EXPECT_TRUE(keys.Register(123457, ModCtrl, v));
    EXPECT_TRUE(keys.Register(123457, ModCtrl, v));
    EXPECT_FALSE(keys.Register(123457, ModAlt, v));
    EXPECT_EQ(fakes.hotKeys.registered.at(123457), std::make_pair(unsigned(ModCtrl), v));
    EXPECT_TRUE(keys.Unregister(123457));
    EXPECT_FALSE(keys.Unregister(123457));
    EXPECT_FALSE(keys.Register(1, ModCtrl, -1));
    fakes.hotKeys.refuse = true;
    EXPECT_FALSE(keys.Register(123457, ModCtrl, v));
    EXPECT_FALSE(keys.IsRegistered(123457));
    EXPECT_EQ(fakes.hotKeys.registerCalls, 5);
    EXPECT_EQ(fakes.hotKeys.unregisterCalls, 2);
}

TEST(FakePlatform, ClipboardAndTrayRecordWhatHappened) {
    FakePlatform fakes;
    EXPECT_TRUE(Platform().clipboard->SetText("login"));
    EXPECT_TRUE(Platform().clipboard->Clear());
    EXPECT_EQ(Platform().clipboard->Text(), "");
    fakes.clipboard.fail = true;
    EXPECT_FALSE(Platform().clipboard->SetText("lost"));
    EXPECT_EQ(fakes.clipboard.history, std::vector<std::string>{"login"});
    EXPECT_EQ(fakes.clipboard.clears, 1);

    TrayIconData data;
    data.tip = "Tallykey 0.4";
    EXPECT_TRUE(Platform().trayIcon->Add(data));
    EXPECT_FALSE(Platform().trayIcon->Add(data)); // never a second icon per id
    EXPECT_EQ(Platform().trayIcon->IconCount(), 1);
    EXPECT_TRUE(Platform().trayIcon->Delete(1));
    EXPECT_FALSE(Platform().trayIcon->Delete(1));
    EXPECT_EQ(Platform().trayIcon->IconCount(), 0);
}
