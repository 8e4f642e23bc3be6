#include "CharsetSamples.h"

#include "charset/EncodingLabels.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

namespace quillora::charset::test {

const std::u16string_view kRussian = u"Пекарня открывается рано утром. Мы продаём хлеб, булочки и пирожные. Многие "
                                     u"покупатели берут пончики по субботам, особенно когда на улице холодно.";
const std::u16string_view kUkrainian =
    u"Пекарня відкривається рано вранці. Ми продаємо хліб, булочки та тістечка. Багато покупців беруть пампушки "
    u"в суботу, особливо коли на вулиці холодно і йде сніг. Їжачок ґудзик є.";
const std::u16string_view kPolish = u"Piekarnia otwiera się wcześnie rano. Sprzedajemy chleb, bułki i ciasta. Wielu "
                                    u"klientów kupuje pączki w sobotę, zwłaszcza gdy na zewnątrz jest zimno i pada "
                                    u"śnieg. Zażółć gęślą jaźń.";
const std::u16string_view kCzech =
    u"Příliš žluťoučký kůň úpěl ďábelské ódy. Pekárna otevírá brzy ráno a prodává chléb, rohlíky a koláče. Většina "
    u"zákazníků si kupuje čerstvé pečivo každý den před prací. V sobotu máme otevřeno do poledne, v neděli je "
    u"zavřeno. Naše rodinná firma funguje již od roku 1992 a zaměstnává dvanáct lidí.";
const std::u16string_view kJapanese =
    u"パン屋は朝早くから開いています。パン、菓子パン、ケーキを販売しています。多くのお客様"
    u"が土曜日にドーナツを買います。特に外が寒くて雪が降っている時です。";
const std::u16string_view kKorean =
    u"빵집은 아침 일찍 문을 엽니다. 우리는 빵, 과자, 케이크를 팝니다. 많은 손님들이 토요일에 도넛을 삽니다.";
const std::u16string_view kChinese =
    u"面包店一大早就开门了。我们出售面包、点心和蛋糕。许多顾客在星期六购买甜甜圈，尤其是在外面很冷而且下雪的时候。";
const std::u16string_view kGreek = u"Ο φούρνος ανοίγει νωρίς το πρωί. Πουλάμε ψωμί, κουλούρια και γλυκά. Πολλοί "
                                   u"πελάτες αγοράζουν λουκουμάδες το Σάββατο, ειδικά όταν κάνει κρύο έξω.";
const std::u16string_view kHebrew = u"המאפייה נפתחת מוקדם בבוקר. אנחנו מוכרים לחם, לחמניות ועוגות. לקוחות רבים "
                                    u"קונים סופגניות בשבת, במיוחד כשקר בחוץ.";
const std::u16string_view kTurkish = u"Fırın sabah erkenden açılır. Ekmek, simit ve pasta satıyoruz. Birçok müşteri "
                                     u"cumartesi günleri poğaça alıyor, özellikle dışarısı soğuk olduğunda.";
const std::u16string_view kGerman = u"Die Bäckerei öffnet früh am Morgen. Für die Brötchen braucht man Mehl, Wasser "
                                    u"und Hefe. Größere Bestellungen müssen einen Tag vorher aufgegeben werden, sagte "
                                    u"Frau Müller. Süße Teilchen gibt es ab neun Uhr.";
const std::u16string_view kIcelandic =
    u"Bakaríið opnar snemma á morgnana. Við seljum brauð, kökur og snúða. Margir "
    u"viðskiptavinir kaupa kleinur á laugardögum, sérstaklega þegar það er kalt úti.";
const std::u16string_view kEnglish = u"We are a small company making furniture since 1982. Our workshop is in the "
                                     u"old town. Contact us by phone or mail. © 2024 – “All rights reserved”.";

std::string encodeIn(std::u16string_view text, std::string_view label) {
    const auto encoding = encodingForLabel(label);
    if (!encoding) {
        ADD_FAILURE() << "no set is named " << label;
        return {};
    }
    const std::string converterName = encoding->icuName.empty() ? std::string(label) : encoding->icuName;
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(converterName.c_str(), &status);
    // A character the set lacks is a fault of the test, not a question mark in its page.
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::string bytes(text.size() * 4 + 16, '\0');
    const int32_t length = ucnv_fromUChars(converter, bytes.data(), static_cast<int32_t>(bytes.size()), text.data(),
                                           static_cast<int32_t>(text.size()), &status);
    ucnv_close(converter);
    EXPECT_TRUE(U_SUCCESS(status)) << label;
    bytes.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
    return bytes;
}

std::string undeclaredPage(std::u16string_view text, std::string_view label) {
    const std::string words = encodeIn(text, label);
    return "<html><head><title>" + encodeIn(text.substr(0, 12), label) + "</title></head><body><p>" + words +
           "</p></body></html>";
}

} // namespace quillora::charset::test
