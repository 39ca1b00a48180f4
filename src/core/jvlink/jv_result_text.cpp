#include "core/jvlink/jv_result_text.h"

#include <string>

namespace sorvantix {

namespace {

struct Body
{
    int code;
    std::string_view text;
};

constexpr std::string_view kDone = "正常に実行されました。";
constexpr std::string_view kStillOpen =
    "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）";

// Shared by JVOpen and JVRTOpen.
constexpr Body kOpenBodies[] = {
    {0, kDone},
    {-1, " 取得済みデータより最新のデータがありません。"},
    {-2, "セットアップダイアログでキャンセルが押されました。"},
    {-111, "dataspec パラメータが不正です。"},
    {-112, "fromdate パラメータが不正です。"},
    {-114, "key パラメータが不正です。"},
    {-115, "option パラメータが不正です。"},
    {-116, "dataspec とoption の組み合わせが不正です。"},
    {-201, "JVInit が行なわれていません。"},
    {-202, kStillOpen},
    {-211, "レジストリ内容が不正（レジストリ内容が不正に変更された）です。"},
    {-301, "認証エラーが発生しました。"},
    {-302, "サービスキーの有効期限切れです。"},
    {-303, "サービスキーが設定されていません。（サービスキーが空値）"},
    {-401, "JV- Link 内部エラーが発生しました。"},
    {-411, "サーバーエラー（HTTP ステータス404 NotFount ）が発生しました。"},
    {-412, "サーバーエラー（HTTP ステータス403 Forbidden ）が発生しました。"},
    {-413, "サーバーエラー（HTTP ステータス200,403,404 以外）が発生しました。"},
    {-421, "サーバーエラー（サーバーの応答が不正）が発生しました。"},
    {-431, "サーバーエラー（サーバーアプリケーション内部エラー）が発生しました。"},
    {-501, "セットアップ処理においてＣＤ －ＲＯＭ が無効です。"},
    {-504, "サーバーがメンテナンス中です。"},
};

constexpr Body kReadBodies[] = {
    {0, "全ファイルの読み込みが終了しました。（ＥＯＦ ）"},
    {-1, "ファイルが切り替わりました。"},
    {-3, "ファイルダウンロード中"},
    {-201, "JVInitが行なわれていません。"},
    {-202, kStillOpen},
    {-203, "JVOpenが行なわれていません。"},
    {-402, "ダウンロードしたファイルサイズが異常です。"},
    {-403, "ダウンロードしたファイル内容が異常です。"},
    {-502, "ダウンロードに失敗しました。(通信エラーやディスクエラー)"},
    {-503, "ファイルが見つかりません。"},
};

// The download failure has full-width brackets here, unlike the read message.
constexpr Body kStatusBodies[] = {
    {0, kDone},
    {-201, "JVInitが行なわれていません。"},
    {-203, "JVOpenが行なわれていません。"},
    {-502, "ダウンロードに失敗しました。（通信エラーやディスクエラーなど）"},
};

constexpr Body kSetUiBodies[] = {
    {0, kDone},
    {-100, "パラメータが不正あるいはレジストリへの保存に失敗しました。"},
    {-101, "すでにサービスキーが登録されています。"},
};

constexpr Body kCloseBodies[] = {
    {0, kDone},
};

template <size_t N> std::string_view lookup(const Body (&table)[N], int code)
{
    for (const auto& body : table) {
        if (body.code == code)
            return body.text;
    }
    return {};
}

std::string body(std::string_view operation, int code)
{
    if (operation == "JVOpen" || operation == "JVRTOpen")
        return std::string(lookup(kOpenBodies, code));
    if (operation == "JVRead") {
        if (code > 0)
            return "バッファにセットしたデータのサイズ" + std::to_string(code);
        return std::string(lookup(kReadBodies, code));
    }
    if (operation == "JVStatus") {
        if (code > 0)
            return "ダウンロード済みファイル数" + std::to_string(code);
        return std::string(lookup(kStatusBodies, code));
    }
    if (operation == "JVSetUIProperties")
        return std::string(lookup(kSetUiBodies, code));
    if (operation == "JVClose")
        return std::string(lookup(kCloseBodies, code));
    return {};
}

} // namespace

std::string JvResultText(std::string_view operation, int code)
{
    return body(operation, code) + "(" + std::to_string(code) + ")";
}

} // namespace sorvantix
