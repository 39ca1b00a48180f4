#include "core/jvlink/jv_result_text.h"
#include "core/text/cp932.h"

#include <gtest/gtest.h>

using namespace sorvantix;

namespace {

struct ResultCase
{
    const char* operation;
    int code;
    const char* text;
};

// Every body the program shows, followed by the bracketed code.
const ResultCase kCases[] = {
    {"JVOpen", 0, "正常に実行されました。(0)"},
    {"JVOpen", -2, "セットアップダイアログでキャンセルが押されました。(-2)"},
    {"JVOpen", -111, "dataspec パラメータが不正です。(-111)"},
    {"JVOpen", -112, "fromdate パラメータが不正です。(-112)"},
    {"JVOpen", -114, "key パラメータが不正です。(-114)"},
    {"JVOpen", -115, "option パラメータが不正です。(-115)"},
    {"JVOpen", -116, "dataspec とoption の組み合わせが不正です。(-116)"},
    {"JVOpen", -201, "JVInit が行なわれていません。(-201)"},
    {"JVOpen", -202,
     "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）(-202)"},
    {"JVOpen", -211, "レジストリ内容が不正（レジストリ内容が不正に変更された）です。(-211)"},
    {"JVOpen", -301, "認証エラーが発生しました。(-301)"},
    {"JVOpen", -302, "サービスキーの有効期限切れです。(-302)"},
    {"JVOpen", -303, "サービスキーが設定されていません。（サービスキーが空値）(-303)"},
    {"JVOpen", -401, "JV- Link 内部エラーが発生しました。(-401)"},
    {"JVOpen", -411, "サーバーエラー（HTTP ステータス404 NotFount ）が発生しました。(-411)"},
    {"JVOpen", -412, "サーバーエラー（HTTP ステータス403 Forbidden ）が発生しました。(-412)"},
    {"JVOpen", -413, "サーバーエラー（HTTP ステータス200,403,404 以外）が発生しました。(-413)"},
    {"JVOpen", -421, "サーバーエラー（サーバーの応答が不正）が発生しました。(-421)"},
    {"JVOpen", -431, "サーバーエラー（サーバーアプリケーション内部エラー）が発生しました。(-431)"},
    {"JVOpen", -501, "セットアップ処理においてＣＤ －ＲＯＭ が無効です。(-501)"},
    {"JVOpen", -504, "サーバーがメンテナンス中です。(-504)"},
    {"JVRead", 0, "全ファイルの読み込みが終了しました。（ＥＯＦ ）(0)"},
    {"JVRead", -1, "ファイルが切り替わりました。(-1)"},
    {"JVRead", -3, "ファイルダウンロード中(-3)"},
    {"JVRead", -201, "JVInitが行なわれていません。(-201)"},
    {"JVRead", -203, "JVOpenが行なわれていません。(-203)"},
    {"JVRead", -402, "ダウンロードしたファイルサイズが異常です。(-402)"},
    {"JVRead", -403, "ダウンロードしたファイル内容が異常です。(-403)"},
    {"JVRead", -502, "ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)"},
    {"JVRead", -503, "ファイルが見つかりません。(-503)"},
    {"JVOpen", -1, " 取得済みデータより最新のデータがありません。(-1)"},
    {"JVRead", 1272, "バッファにセットしたデータのサイズ1272(1272)"},
    {"JVRead", -202,
     "前回のJVOpen/JVRTOpen/JVMVOpen に対してJVClose が呼ばれていません。（オープン中）(-202)"},
    {"JVStatus", 0, "正常に実行されました。(0)"},
    {"JVStatus", 7, "ダウンロード済みファイル数7(7)"},
    {"JVStatus", -201, "JVInitが行なわれていません。(-201)"},
    {"JVStatus", -203, "JVOpenが行なわれていません。(-203)"},
    {"JVStatus", -502, "ダウンロードに失敗しました。（通信エラーやディスクエラーなど）(-502)"},
    {"JVSetUIProperties", 0, "正常に実行されました。(0)"},
    {"JVSetUIProperties", -100, "パラメータが不正あるいはレジストリへの保存に失敗しました。(-100)"},
    {"JVSetUIProperties", -101, "すでにサービスキーが登録されています。(-101)"},
    {"JVClose", 0, "正常に実行されました。(0)"},
    // Codes without a body: only the bracketed code.
    {"JVClose", -1, "(-1)"},
    {"JVClose", -201, "(-201)"},
    {"JVOpen", -3, "(-3)"},
    {"JVOpen", -203, "(-203)"},
    {"JVOpen", 5, "(5)"},
    {"JVRead", -2, "(-2)"},
    {"JVRead", -504, "(-504)"},
    {"JVStatus", -1, "(-1)"},
    {"JVSetUIProperties", 1, "(1)"},
    // Names compare exactly; JVInit and unknown operations have no bodies.
    {"JVInit", -101, "(-101)"},
    {"jvopen", 0, "(0)"},
    {"JVOpen ", 0, "(0)"},
    {"", -502, "(-502)"},
};

class JvResultTextTest : public testing::TestWithParam<ResultCase>
{
};

} // namespace

TEST_P(JvResultTextTest, GivesTheBodyThenTheCode)
{
    const auto& c = GetParam();
    EXPECT_EQ(JvResultText(c.operation, c.code), c.text) << c.operation << " " << c.code;
    // Every message goes to the CP932 error log.
    EXPECT_TRUE(fitsCp932(c.text));
}

INSTANTIATE_TEST_SUITE_P(Table, JvResultTextTest, testing::ValuesIn(kCases));

TEST(JvResultText, RealTimeOpenSharesTheOpenTable)
{
    for (int code = -600; code <= 10; ++code)
        EXPECT_EQ(JvResultText("JVRTOpen", code), JvResultText("JVOpen", code)) << code;
}
