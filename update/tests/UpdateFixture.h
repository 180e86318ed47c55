#pragma once
// A program installed with its default settings and Reference file, a
// scripted network under "http://updates.test", and recording prompts.
#include <gtest/gtest.h>

#include <string>

#include "platform/tests/support/TestSystem.h"
#include "settings/SettingsStore.h"
#include "update/DownloadWorker.h"
#include "update/UpdateServer.h"
#include "update/tests/UpdateTestSupport.h"

namespace updatetest {

inline constexpr const char* kOldPath = "C:\\Program Files\\Brindlex\\brindlex4_010907.bx";
inline constexpr const char* kPageAddress = "http://updates.test/def/def_zip.html";
inline constexpr const char* kDefinitions = "http://updates.test/def";

class UpdateFixture : public ::testing::Test {
  protected:
    UpdateFixture() {
        update::ClearDownloadAbort();
        network.UseFiles(host.files());
        settings::SettingsStore(host.system()).WriteDefaultSettings();
        oldContent = ReferenceFile({"Old Program"});
        Write(kOldPath, oldContent);
    }

    std::string Setting(const char* name) {
        std::string value;
        settings::SettingsStore(host.system()).GetSetting(name, &value);
        return value;
    }
    void Write(const std::string& path, const std::string& bytes) {
        ASSERT_EQ(host.files().WriteFile(path, bytes), platform::kSuccess) << path;
    }
    std::string Read(const std::string& path) {
        std::string bytes;
        host.files().ReadFile(path, &bytes);
        return bytes;
    }
    bool Exists(const std::string& path) { return host.files().Exists(path); }

    // The update page names `archive`.
    void Offer(const std::string& archive) {
        network.Serve(kPageAddress, "<HTML><BODY>\r\n" + archive + "\r\n</BODY></HTML>");
    }
    // The archive and its signature in the definitions folder.
    void Publish(const std::string& name, const std::string& archive,
                 const update::KeyPair& keys = TestKeys()) {
        network.Serve(std::string(kDefinitions) + "/" + name, archive);
        network.Serve(std::string(kDefinitions) + "/" + name + ".sig", SignWith(keys, archive));
    }

    update::UpdateResult RunWorker() {
        update::DownloadWorker worker(host.system(), prompts, sink,
                                      update::AddressesFor("http://updates.test"),
                                      TestKeys().publicKey);
        return worker.Run();
    }

    // What must hold whenever an update installs nothing.
    void ExpectOldFileInUse() {
        EXPECT_EQ(Setting("rfp"), kOldPath);
        EXPECT_EQ(Setting("df"), "brindlex4_010907.bx");
        EXPECT_EQ(Read(kOldPath), oldContent);
        EXPECT_EQ(sink.posted, std::vector<int>{update::kDownloadCancel});
    }

    FakeNetwork network;
    testsupport::TestSystem host{network};
    RecordingPrompts prompts;
    RecordingSink sink;
    std::string oldContent;
};

}  // namespace updatetest
