// Temperature settings, transducer selection, lists and point tables.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "link/TemperatureCommands.h"
#include "tests/link/LinkFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
using TemperatureCommands = LinkFixture;
using link::TransducerKind;
using link::TransducerSource;

TEST_F(TemperatureCommands, SettingsCommands) {
    link::SetTempNull("On");
    link::SetTempNull("Off");
    link::SetTemperatureUnit("℃");
    link::SetTemperatureUnit("°℉");
    link::SetTemperatureUnit("K");
    link::SetTemperatureUnit("C");  // no unit sign: kelvin
    EXPECT_EQ(Sent(), (Strings{"TEMP:NULL ON", "TEMP:NULL OFF", "UNIT:TEMP C", "UNIT:TEMP F",
                               "UNIT:TEMP K", "UNIT:TEMP K"}));
}

TEST_F(TemperatureCommands, TransducerSelection) {
    link::SetTemperatureTransducer("K", TransducerKind::Thermocouple, TransducerSource::BuiltIn);
    link::SetTemperatureTransducer("MyTC", TransducerKind::Thermocouple,
                                   TransducerSource::UserDefined);
    link::SetTemperatureTransducer("PT100", TransducerKind::ResistanceThermometer,
                                   TransducerSource::BuiltIn);
    link::SetTemperatureTransducer("MyRTD", TransducerKind::ResistanceThermometer,
                                   TransducerSource::UserDefined);
    EXPECT_EQ(Sent(), (Strings{"TEMP:MDEF:THER:TRAN K", "TEMP:UDEF:THER:TRAN MyTC",
                               "TEMP:MDEF:RTD:TRAN PT100", "TEMP:UDEF:RTD:TRAN MyRTD"}));
    // Values outside the two choices send nothing rather than a bare name.
    link::SetTemperatureTransducer("X", static_cast<TransducerKind>(2), TransducerSource::BuiltIn);
    link::SetTemperatureTransducer("X", TransducerKind::Thermocouple,
                                   static_cast<TransducerSource>(7));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TemperatureCommands, Queries) {
    const std::pair<const char*, const char*> units[] = {
        {"C\n", "℃"}, {"F\n", "℉"}, {"K\n", "K"}, {"CEL\n", "℃"}};
    for (const auto& [reply, label] : units) {
        m_device->Answer("UNIT:TEMP?", reply);
        EXPECT_EQ(link::GetTemperatureUnit(), label);
    }
    m_device->Answer("TEMP:NULL?", "1\n");
    EXPECT_EQ(link::GetTempNull(), "On");
    m_device->Answer("TEMP:TRAN?", "TC,MDEF,K\n");
    EXPECT_EQ(link::GetTemperatureTransducer(), "K");
    m_device->Answer("TEMP:TRAN?", "PT100\n");
    EXPECT_EQ(link::GetTemperatureTransducer(), "PT100");
    m_device->Answer("TEMP:CAD?", "CJC|23.5,C\n");
    EXPECT_EQ(link::ReadTemperatureCad(), "+23.5");
    m_device->Answer("TEMP:CAD?", "CJC|-1.25,C\n");
    EXPECT_EQ(link::ReadTemperatureCad(), "-1.25");
    EXPECT_TRUE(Failures().empty());
    Connection()->Close();
    EXPECT_EQ(link::GetTemperatureUnit(), "");
    EXPECT_EQ(link::ReadTemperatureCad(), "");
}

TEST_F(TemperatureCommands, SecondaryReadingUsesItsLargerBuffer) {
    // 100 characters fit the 128-byte buffer of this query.
    std::string value = "+" + std::string(90, '1');
    m_device->Answer("TEMP:CAD?", "X|" + value + ",C\n");
    EXPECT_EQ(link::ReadTemperatureCad(), value);
    // A longer reply is cut at 128 bytes, the last of which is dropped.
    m_device->Answer("TEMP:CAD?", "X|" + std::string(200, '2') + ",C\n");
    EXPECT_EQ(link::ReadTemperatureCad(), "+" + std::string(125, '2'));
}

TEST_F(TemperatureCommands, ReplyBufferSizes) {
    // Lists are read into 256 bytes, the transducer name into 32.
    std::vector<std::string> names;
    m_device->Answer(link::kBuiltInRtdList, std::string(299, 'r') + "\n");
    EXPECT_TRUE(link::ReadTransducerList(link::kBuiltInRtdList, names));
    EXPECT_EQ(names, Strings{std::string(255, 'r')});
    m_device->Answer("TEMP:TRAN?", std::string(40, 't') + "\n");
    EXPECT_EQ(link::GetTemperatureTransducer(), std::string(31, 't'));
}

TEST_F(TemperatureCommands, TransducerLists) {
    std::vector<std::string> names{"kept"};
    m_device->Answer(link::kBuiltInThermocoupleList, "1 K,2 J,3 T\n");
    EXPECT_TRUE(link::ReadTransducerList(link::kBuiltInThermocoupleList, names));
    EXPECT_EQ(names, (Strings{"kept", "K", "J", "T"}));

    names.clear();
    m_device->Answer(link::kUserRtdList, "NONE\n");
    EXPECT_TRUE(link::ReadTransducerList(link::kUserRtdList, names));
    EXPECT_TRUE(names.empty());

    m_device->Answer(link::kBuiltInRtdList, "PT100,a b c,\n");
    EXPECT_TRUE(link::ReadTransducerList(link::kBuiltInRtdList, names));
    EXPECT_EQ(names, (Strings{"PT100", "b c", ""}));

    names.clear();
    EXPECT_FALSE(link::ReadTransducerList(link::kUserThermocoupleList, names));
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(Sent(), (Strings{"TEMP:MDEF:THER:TRAN:LIST?", "TEMP:UDEF:RTD:TRAN:LIST?",
                               "TEMP:MDEF:RTD:TRAN:LIST?", "TEMP:UDEF:THER:TRAN:LIST?"}));
}

TEST_F(TemperatureCommands, PointTables) {
    std::vector<char> buffer(link::kPointsReplySize, 'z');
    uint32_t received = 0;
    m_device->Answer("TEMP:MDEF:THER:TRAN:POIN? K", "0,0.0,100,4.096\n");
    EXPECT_TRUE(
        link::ReadThermocouplePointsBuiltIn("K", buffer.data(), link::kPointsReplySize, &received));
    EXPECT_EQ(std::string(buffer.data(), received), "0,0.0,100,4.096\n");
    EXPECT_EQ(buffer[received], '\0');  // the buffer was zeroed first

    std::string big(20000, '7');
    m_device->Answer("TEMP:UDEF:RTD:TRAN:POIN? R1", big);
    EXPECT_TRUE(link::ReadRtdPointsUser("R1", buffer.data(), link::kPointsReplySize, &received));
    EXPECT_EQ(received, link::kPointsReplySize);
    // The rest of the oversized table does not become the next reply.
    m_device->Answer("TEMP:MDEF:RTD:TRAN:POIN? PT100", "1,2\n");
    EXPECT_TRUE(link::ReadRtdPointsBuiltIn("PT100", buffer.data(), 64, &received));
    EXPECT_EQ(std::string(buffer.data(), received), "1,2\n");

    // No answer: still true, nothing received, buffer zeroed.
    EXPECT_TRUE(link::ReadThermocouplePointsUser("U", buffer.data(), 64, &received));
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(std::string(buffer.data(), 4), std::string(4, '\0'));
    EXPECT_EQ(Sent(), (Strings{"TEMP:MDEF:THER:TRAN:POIN? K", "TEMP:UDEF:RTD:TRAN:POIN? R1",
                               "TEMP:MDEF:RTD:TRAN:POIN? PT100", "TEMP:UDEF:THER:TRAN:POIN? U"}));
}

}  // namespace
}  // namespace kvt::test
