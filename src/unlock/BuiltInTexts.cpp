#include "BuiltInTexts.h"

#include "engine/ProtectionOptions.h"

#include <algorithm>
#include <array>

namespace quillora::unlock {

namespace {

// French puts a no-break space before a colon.
constexpr std::array kTexts{
    BuiltInTexts{
        "en",
        engine::kDefaultUnlockPrompt,
        engine::kDefaultUnlockButton,
        engine::kDefaultWrongPassword,
        u"Sorry, this page is damaged and cannot be opened: it was changed after it was published.",
        u"This page is encrypted, and browsers decrypt pages only over https or on the computer itself. Please open "
        u"it over https, or from the computer it is stored on (as a file or from http://localhost).",
        u"This page is encrypted. Opening it needs a browser with JavaScript.",
        u"Show password",
        u"Remember me on this device",
        u"This page is encrypted, and the script that opens it did not load: {script} must be published with the "
        u"site's pages.",
    },
    BuiltInTexts{
        "de",
        u"Geben Sie das Passwort ein, um diese Seite zu \u00F6ffnen",
        u"\u00D6ffnen",
        u"Falsches Passwort. Bitte versuchen Sie es erneut.",
        u"Diese Seite ist leider besch\u00E4digt und kann nicht ge\u00F6ffnet werden: Sie wurde nach der "
        u"Ver\u00F6ffentlichung ver\u00E4ndert.",
        u"Diese Seite ist verschl\u00FCsselt, und Browser entschl\u00FCsseln Seiten nur \u00FCber https oder auf dem "
        u"Computer selbst. Bitte \u00F6ffnen Sie sie \u00FCber https oder auf dem Computer, auf dem sie gespeichert "
        u"ist (als Datei oder \u00FCber http://localhost).",
        u"Diese Seite ist verschl\u00FCsselt. Zum \u00D6ffnen wird ein Browser mit JavaScript ben\u00F6tigt.",
        u"Passwort anzeigen",
        u"Auf diesem Ger\u00E4t angemeldet bleiben",
        u"Diese Seite ist verschl\u00FCsselt, und das Skript, das sie \u00F6ffnet, wurde nicht geladen: {script} muss "
        u"mit den Seiten der Website ver\u00F6ffentlicht werden.",
    },
    BuiltInTexts{
        "fr",
        u"Saisissez le mot de passe pour ouvrir cette page",
        u"Ouvrir",
        u"Mot de passe incorrect. Veuillez r\u00E9essayer.",
        u"D\u00E9sol\u00E9, cette page est endommag\u00E9e et ne peut pas \u00EAtre ouverte\u00A0: elle a "
        u"\u00E9t\u00E9 "
        u"modifi\u00E9e apr\u00E8s sa publication.",
        u"Cette page est chiffr\u00E9e, et les navigateurs ne d\u00E9chiffrent les pages que par https ou sur "
        u"l\u2019ordinateur lui-m\u00EAme. Veuillez l\u2019ouvrir par https, ou depuis l\u2019ordinateur sur lequel "
        u"elle est enregistr\u00E9e (en tant que fichier ou depuis http://localhost).",
        u"Cette page est chiffr\u00E9e. Pour l\u2019ouvrir, il faut un navigateur avec JavaScript.",
        u"Afficher le mot de passe",
        u"Se souvenir de moi sur cet appareil",
        u"Cette page est chiffr\u00E9e, et le script qui l\u2019ouvre n\u2019a pas \u00E9t\u00E9 charg\u00E9\u00A0: "
        u"{script} doit \u00EAtre publi\u00E9 avec les pages du site.",
    },
    BuiltInTexts{
        "es",
        u"Introduzca la contrase\u00F1a para abrir esta p\u00E1gina",
        u"Abrir",
        u"Contrase\u00F1a incorrecta. Int\u00E9ntelo de nuevo.",
        u"Lo sentimos, esta p\u00E1gina est\u00E1 da\u00F1ada y no se puede abrir: se modific\u00F3 despu\u00E9s de "
        u"publicarse.",
        u"Esta p\u00E1gina est\u00E1 cifrada, y los navegadores solo descifran p\u00E1ginas a trav\u00E9s de https o "
        u"en el propio ordenador. \u00C1brala a trav\u00E9s de https o desde el ordenador en el que est\u00E1 "
        u"guardada (como archivo o desde http://localhost).",
        u"Esta p\u00E1gina est\u00E1 cifrada. Para abrirla se necesita un navegador con JavaScript.",
        u"Mostrar contrase\u00F1a",
        u"Recordarme en este dispositivo",
        u"Esta p\u00E1gina est\u00E1 cifrada y no se ha cargado el script que la abre: {script} debe publicarse junto "
        u"con las p\u00E1ginas del sitio.",
    },
    BuiltInTexts{
        "ja",
        // このページを開くにはパスワードを入力してください
        u"\u3053\u306E\u30DA\u30FC\u30B8\u3092\u958B\u304F\u306B\u306F\u30D1\u30B9\u30EF\u30FC\u30C9\u3092\u5165\u529B"
        u"\u3057\u3066\u304F\u3060\u3055\u3044",
        // 開く
        u"\u958B\u304F",
        // パスワードが正しくありません。もう一度お試しください。
        u"\u30D1\u30B9\u30EF\u30FC\u30C9\u304C\u6B63\u3057\u304F\u3042\u308A\u307E\u305B\u3093\u3002\u3082\u3046\u4E00"
        u"\u5EA6\u304A\u8A66\u3057\u304F\u3060\u3055\u3044\u3002",
        // 申し訳ありません。このページは破損しているため開けません。公開後に変更されています。
        u"\u7533\u3057\u8A33\u3042\u308A\u307E\u305B\u3093\u3002\u3053\u306E\u30DA\u30FC\u30B8\u306F\u7834\u640D\u3057"
        u"\u3066\u3044\u308B\u305F\u3081\u958B\u3051\u307E\u305B\u3093\u3002\u516C\u958B\u5F8C\u306B\u5909\u66F4\u3055"
        u"\u308C\u3066\u3044\u307E\u3059\u3002",
        // このページは暗号化されています。ブラウザーがページを復号できるのは、https
        // 経由の場合か、そのコンピューター上で 開いた場合だけです。https
        // 経由で開くか、ページが保存されているコンピューターから（ファイルとして、または http://localhost
        // から）開いてください。
        u"\u3053\u306E\u30DA\u30FC\u30B8\u306F\u6697\u53F7\u5316\u3055\u308C\u3066\u3044\u307E\u3059\u3002\u30D6\u30E9"
        u"\u30A6\u30B6\u30FC\u304C\u30DA\u30FC\u30B8\u3092\u5FA9\u53F7\u3067\u304D\u308B\u306E\u306F\u3001https "
        u"\u7D4C\u7531\u306E\u5834\u5408\u304B\u3001\u305D\u306E\u30B3\u30F3\u30D4\u30E5\u30FC\u30BF\u30FC\u4E0A\u3067"
        u"\u958B\u3044\u305F\u5834\u5408\u3060\u3051\u3067\u3059\u3002https \u7D4C\u7531\u3067\u958B\u304F\u304B\u3001"
        u"\u30DA\u30FC\u30B8\u304C\u4FDD\u5B58\u3055\u308C\u3066\u3044\u308B\u30B3\u30F3\u30D4\u30E5\u30FC\u30BF\u30FC"
        u"\u304B\u3089\uFF08\u30D5\u30A1\u30A4\u30EB\u3068\u3057\u3066\u3001\u307E\u305F\u306F http://localhost "
        u"\u304B\u3089\uFF09\u958B\u3044\u3066\u304F\u3060\u3055\u3044\u3002",
        // このページは暗号化されています。開くには JavaScript が有効なブラウザーが必要です。
        u"\u3053\u306E\u30DA\u30FC\u30B8\u306F\u6697\u53F7\u5316\u3055\u308C\u3066\u3044\u307E\u3059\u3002\u958B\u304F"
        u"\u306B\u306F JavaScript \u304C\u6709\u52B9\u306A\u30D6\u30E9\u30A6\u30B6\u30FC\u304C\u5FC5\u8981\u3067\u3059"
        u"\u3002",
        // パスワードを表示
        u"\u30D1\u30B9\u30EF\u30FC\u30C9\u3092\u8868\u793A",
        // このデバイスに記憶する
        u"\u3053\u306E\u30C7\u30D0\u30A4\u30B9\u306B\u8A18\u61B6\u3059\u308B",
        // このページは暗号化されていますが、ページを開くスクリプトが読み込まれませんでした。{script}
        // をサイトのページと一緒に公開してください。
        u"\u3053\u306E\u30DA\u30FC\u30B8\u306F\u6697\u53F7\u5316\u3055\u308C\u3066\u3044\u307E\u3059\u304C\u3001\u30DA"
        u"\u30FC\u30B8\u3092\u958B\u304F\u30B9\u30AF\u30EA\u30D7\u30C8\u304C\u8AAD\u307F\u8FBC\u307E\u308C\u307E\u305B"
        u"\u3093\u3067\u3057\u305F\u3002"
        u"{script} "
        u"\u3092\u30B5\u30A4\u30C8\u306E\u30DA\u30FC\u30B8\u3068\u4E00\u7DD2\u306B\u516C\u958B\u3057\u3066\u304F\u3060"
        u"\u3055\u3044\u3002",
    },
};

static_assert(kTexts.size() == kBuiltInLanguageCount);

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace

std::span<const BuiltInTexts> builtInLanguages() {
    return kTexts;
}

const BuiltInTexts& builtInTexts(std::string_view primaryLanguage) {
    const auto found = std::find_if(kTexts.begin(), kTexts.end(), [primaryLanguage](const BuiltInTexts& texts) {
        return texts.language.size() == primaryLanguage.size() &&
               std::equal(primaryLanguage.begin(), primaryLanguage.end(), texts.language.begin(),
                          [](char a, char b) { return lowered(a) == b; });
    });
    return found == kTexts.end() ? kTexts.front() : *found;
}

} // namespace quillora::unlock
