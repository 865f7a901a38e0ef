<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ConfigDialog</name>
    <message>
        <source>空白サイズ</source>
        <translation>Spaces</translation>
    </message>
    <message>
        <source>要素の順番を入れ替えることが出来ます。&lt;br&gt;項目を選択してボタンを押して下さい。</source>
        <translation>You can change the order of the elements.&lt;br&gt;Select an item and press a button.</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>開始区切り文字を追加する。(&amp;B)</source>
        <translation>Add an o&amp;pening delimiter.</translation>
    </message>
    <message>
        <source>終了区切り文字を追加する。(&amp;E)</source>
        <translation>Add a c&amp;losing delimiter.</translation>
    </message>
    <message>
        <source>IDを追加する。(&amp;I)</source>
        <translation>Add the &amp;ID.</translation>
    </message>
    <message>
        <source>メーカーを追加する。(&amp;M)</source>
        <translation>Add the &amp;maker.</translation>
    </message>
    <message>
        <source>日付を追加する。(&amp;D)</source>
        <translation>Add the &amp;date.</translation>
    </message>
    <message>
        <source>対象年齢を追加する。(&amp;A)</source>
        <translation>Add the &amp;age rating.</translation>
    </message>
</context>
<context>
    <name>LibraryDialog</name>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>詳細</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>PluginDetailDialog</name>
    <message>
        <source>名前:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>バージョン:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>コピーライト:</source>
        <translation>Copyright:</translation>
    </message>
    <message>
        <source>対応サイト:</source>
        <translation>Supported sites:</translation>
    </message>
</context>
<context>
    <name>PluginDialog</name>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>バージョン</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>詳細</source>
        <translation>Details</translation>
    </message>
</context>
<context>
    <name>Sakuvo</name>
    <message>
        <source>&apos;タイトルがみつかりませんでした&apos;</source>
        <translation>&apos;The title was not found&apos;</translation>
    </message>
    <message>
        <source>&apos;IDがみつかりませんでした&apos;</source>
        <translation>&apos;The ID was not found&apos;</translation>
    </message>
    <message>
        <source>&apos;日付がみつかりませんでした&apos;</source>
        <translation>&apos;The date was not found&apos;</translation>
    </message>
    <message>
        <source>&apos;作者がみつかりませんでした&apos;</source>
        <translation>&apos;The maker was not found&apos;</translation>
    </message>
    <message>
        <source>エラー: 該当作品がありません</source>
        <translation>Error: the shop has no such product</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error: the shop has no such product</translation>
    </message>
    <message>
        <source>not found parser.</source>
        <translation>No page reader for this page&apos;s address.</translation>
    </message>
</context>
<context>
    <name>zorv::AboutDialog</name>
    <message>
        <source>TRANSLATION_CREDIT</source>
        <extracomment>The about box&apos;s last line, naming this translation and who made it.</extracomment>
        <translation>English translation: Zorvane developers</translation>
    </message>
    <message>
        <source>ZORVについて</source>
        <translation>About ZORV</translation>
    </message>
</context>
<context>
    <name>zorv::BatchRunner</name>
    <message>
        <source>スキップ</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>%1: the journal cannot be read (%2)</source>
        <translation>%1: the journal cannot be read (%2)</translation>
    </message>
</context>
<context>
    <name>zorv::ConfigDialog</name>
    <message>
        <source>ZORV:設定ダイアログ</source>
        <translation>ZORV: Settings</translation>
    </message>
    <message>
        <source>長い題名の例:
</source>
        <translation>With a long title:
</translation>
    </message>
</context>
<context>
    <name>zorv::DropArea</name>
    <message>
        <source>&lt;ここにドロップしてください&gt;</source>
        <translation>&lt;Drop files here&gt;</translation>
    </message>
    <message>
        <source>ファイルをここにドロップするか、Enter キーで選んでください。</source>
        <translation>Drop files here, or press Enter to choose them.</translation>
    </message>
</context>
<context>
    <name>zorv::Entry</name>
    <message>
        <source>待機</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>処理中...</source>
        <translation>Processing...</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>完了</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stopped</translation>
    </message>
</context>
<context>
    <name>zorv::LibraryDetailDialog</name>
    <message>
        <source>ZORV:ライブラリ詳細ダイアログ</source>
        <translation>ZORV: Library details</translation>
    </message>
</context>
<context>
    <name>zorv::LibraryDialog</name>
    <message>
        <source>ZORV:ライブラリダイアログ</source>
        <translation>ZORV: Libraries</translation>
    </message>
</context>
<context>
    <name>zorv::MainWindow</name>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>開く(&amp;O)…</source>
        <translation>&amp;Open…</translation>
    </message>
    <message>
        <source>終了(&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>ツール(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>設定(&amp;C)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>アバウト(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>プラグイン(&amp;P)</source>
        <translation>&amp;Plug-ins</translation>
    </message>
    <message>
        <source>ライブラリ(&amp;L)</source>
        <translation>&amp;Libraries</translation>
    </message>
    <message>
        <source>ファイル名の文字コードが不正なので飛ばしました: %1</source>
        <translation>Skipped, the file name is not valid in the system&apos;s encoding: %1</translation>
    </message>
    <message>
        <source>ZORV:開く</source>
        <translation>ZORV: Open</translation>
    </message>
    <message>
        <source>ZORV:元に戻す</source>
        <translation>ZORV: Undo</translation>
    </message>
    <message>
        <source>元に戻せるファイルはありません。</source>
        <translation>There are no files to take back.</translation>
    </message>
    <message>
        <source>%1 個のファイルの名前を元に戻します。よろしいですか？</source>
        <translation>The names of %1 file(s) will be taken back. Continue?</translation>
    </message>
    <message>
        <source>%1 個のファイルを元に戻しました。</source>
        <translation>%1 file(s) taken back.</translation>
    </message>
    <message>
        <source>
%1 個はそのままです:
</source>
        <translation>
%1 left as they are:
</translation>
    </message>
    <message>
        <source>&#x3000;タスク</source>
        <translation> Tasks</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>ページキャッシュを空にする(&amp;E)</source>
        <translation>&amp;Empty the Page Cache</translation>
    </message>
    <message>
        <source>ページキャッシュを空にしました。</source>
        <translation>The page cache was emptied.</translation>
    </message>
    <message>
        <source>ZORV:ページキャッシュ</source>
        <translation>ZORV: Page Cache</translation>
    </message>
    <message>
        <source>ページキャッシュ %1 を空にできませんでした: %2</source>
        <translation>The page cache %1 could not be emptied: %2</translation>
    </message>
    <message>
        <source>ページキャッシュ %1 に問題があります: %2</source>
        <translation>The page cache %1 has a problem: %2</translation>
    </message>
    <message>
        <source>記録 %1 に書き込めません (%2)。名前の変更は記録されず、元に戻せません。</source>
        <translation>The journal %1 cannot be written (%2): renames go unrecorded and cannot be undone.</translation>
    </message>
    <message>
        <source>変更前に確認する(&amp;V)</source>
        <translation>Re&amp;view Before Renaming</translation>
    </message>
    <message>
        <source>変更を実行(&amp;R)</source>
        <translation>&amp;Rename Now</translation>
    </message>
    <message>
        <source>停止(&amp;S)</source>
        <translation>St&amp;op</translation>
    </message>
    <message>
        <source>再試行(&amp;T)</source>
        <translation>Re&amp;try</translation>
    </message>
    <message>
        <source>再試行</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>製品 ID が見つからないファイル: %1 個（名前はログにあります）</source>
        <translation>Files without a product ID that a plug-in knows: %1 (their names are in the log)</translation>
    </message>
    <message>
        <source>変更を実行するプレビューの行はありません。</source>
        <translation>There are no previewed rows to rename.</translation>
    </message>
    <message>
        <source>停止しました。処理中のファイルはそのページを終えてから止まります。</source>
        <translation>Stopped. The file in progress stops once its current page is done.</translation>
    </message>
    <message>
        <source>ショップ %1 に接続できません（%2）。ネットワークかプロキシの設定（http_proxy）に問題があるかもしれません。接続を確かめてから「再試行」を押してください。残りのファイルは待機しています。</source>
        <translation>The shop %1 cannot be reached (%2). The network or the proxy setting (http_proxy) may be the cause. Check the connection, then press Retry. The other files are waiting.</translation>
    </message>
    <message>
        <source>ショップ %1 にプロキシ %2 を通して接続できません（%3）。プロキシの設定（http_proxy）かネットワークに問題があるかもしれません。接続を確かめてから「再試行」を押してください。残りのファイルは待機しています。</source>
        <translation>The shop %1 cannot be reached through the proxy %2 (%3). The proxy setting (http_proxy) or the network may be the cause. Check the connection, then press Retry. The other files are waiting.</translation>
    </message>
    <message>
        <source>ZORV:終了</source>
        <translation>ZORV: Quit</translation>
    </message>
    <message>
        <source>%1 個のファイルがまだ終わっていません。停止して終了しますか？</source>
        <translation>Files not done yet: %1. Stop and quit?</translation>
    </message>
    <message>
        <source>停止して終了(&amp;Q)</source>
        <translation>Stop and &amp;Quit</translation>
    </message>
    <message>
        <source>停止しています。処理中のファイルが終わると閉じます。</source>
        <translation>Stopping. The window closes once the file in progress is done.</translation>
    </message>
    <message>
        <source>元に戻し済み</source>
        <translation>Undone</translation>
    </message>
</context>
<context>
    <name>zorv::NetworkFailure</name>
    <message>
        <source>ページを見る許可がありません (%1)</source>
        <translation>Not allowed to see the page (%1)</translation>
    </message>
    <message>
        <source>ページが見つかりません (%1)</source>
        <translation>Page not found (%1)</translation>
    </message>
    <message>
        <source>ページは削除されました (%1)</source>
        <translation>The page was removed (%1)</translation>
    </message>
    <message>
        <source>ショップが混み合っています (%1)</source>
        <translation>The shop is busy (%1)</translation>
    </message>
    <message>
        <source>ショップでエラーが起きました (%1)</source>
        <translation>An error occurred at the shop (%1)</translation>
    </message>
    <message>
        <source>ショップがページの要求を断りました (%1)</source>
        <translation>The shop refused the request for the page (%1)</translation>
    </message>
    <message>
        <source>接続が拒否されました</source>
        <translation>Connection refused</translation>
    </message>
    <message>
        <source>ショップの名前を引けません</source>
        <translation>The shop&apos;s name cannot be looked up</translation>
    </message>
    <message>
        <source>ショップが接続を切りました</source>
        <translation>The shop closed the connection</translation>
    </message>
    <message>
        <source>接続が時間切れになりました</source>
        <translation>The connection timed out</translation>
    </message>
    <message>
        <source>安全な接続を確立できません</source>
        <translation>No secure connection could be made</translation>
    </message>
    <message>
        <source>ページの転送が多すぎます</source>
        <translation>The page was redirected too often</translation>
    </message>
    <message>
        <source>ページが安全でない場所へ転送されました</source>
        <translation>The page was redirected to an insecure address</translation>
    </message>
    <message>
        <source>プロキシに接続できません</source>
        <translation>Cannot connect to the proxy</translation>
    </message>
    <message>
        <source>プロキシの名前を引けません</source>
        <translation>The proxy&apos;s name cannot be looked up</translation>
    </message>
    <message>
        <source>プロキシが認証を求めています</source>
        <translation>The proxy asks for a login</translation>
    </message>
    <message>
        <source>ネットワークに接続できません</source>
        <translation>The network cannot be reached</translation>
    </message>
    <message>
        <source>読み込みを中止しました</source>
        <translation>Loading the page was stopped</translation>
    </message>
    <message>
        <source>ページを読み込めませんでした</source>
        <translation>The page could not be loaded</translation>
    </message>
</context>
<context>
    <name>zorv::PluginDetailDialog</name>
    <message>
        <source>ZORV:プラグイン詳細ダイアログ</source>
        <translation>ZORV: Plug-in details</translation>
    </message>
</context>
<context>
    <name>zorv::PluginDialog</name>
    <message>
        <source>ZORV:プラグインダイアログ</source>
        <translation>ZORV: Plug-ins</translation>
    </message>
</context>
<context>
    <name>zorv::Renamer</name>
    <message>
        <source>&apos;無効な文字を修正しました。&apos;</source>
        <translation>&apos;Invalid characters were replaced.&apos;</translation>
    </message>
    <message>
        <source>&apos;ファイルが重複するので名前を修正しました。&apos;</source>
        <translation>&apos;The name was changed because the file already exists.&apos;</translation>
    </message>
    <message>
        <source>&apos;名前が長すぎるため短縮しました。&apos;</source>
        <translation>&apos;The name was shortened because it was too long.&apos;</translation>
    </message>
    <message>
        <source>&apos;既に変更済みです。&apos;</source>
        <translation>&apos;Already renamed.&apos;</translation>
    </message>
    <message>
        <source>&apos;ソースファイルが見つかりません。&apos;</source>
        <translation>&apos;The source file was not found.&apos;</translation>
    </message>
    <message>
        <source>&apos;リネームに失敗しました。&apos;</source>
        <translation>&apos;Renaming failed.&apos;</translation>
    </message>
    <message>
        <source>&apos;新しい名前が空になりました。&apos;</source>
        <translation>&apos;The new name came out empty.&apos;</translation>
    </message>
    <message>
        <source>&apos;文字コード「%1」に対応していません。&apos;</source>
        <translation>&apos;The character encoding &quot;%1&quot; is not supported.&apos;</translation>
    </message>
    <message>
        <source>&apos;ショップが時間内に応答しませんでした。&apos;</source>
        <translation>&apos;The shop did not answer in time.&apos;</translation>
    </message>
    <message>
        <source>&apos;ページが大きすぎるので読み込みを中止しました。&apos;</source>
        <translation>&apos;The page was too large, so reading it was stopped.&apos;</translation>
    </message>
    <message>
        <source>&apos;ページの入れ子が深すぎるので読めません。&apos;</source>
        <translation>&apos;The page is nested too deeply to be read.&apos;</translation>
    </message>
    <message>
        <source>&apos;ページを修復できませんでした。&apos;</source>
        <translation>&apos;The page could not be repaired.&apos;</translation>
    </message>
    <message>
        <source>&apos;ページを修復するプログラム「%1」がインストールされていません。&apos;</source>
        <translation>&apos;The page repair program &quot;%1&quot; is not installed.&apos;</translation>
    </message>
    <message>
        <source>&apos;ページがキャッシュにありません（オフラインのため取得しませんでした）。&apos;</source>
        <translation>&apos;The page is not in the cache (offline, so it was not fetched).&apos;</translation>
    </message>
</context>
<context>
    <name>zorv::ResultTable</name>
    <message>
        <source>ホスト</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>State</translation>
    </message>
    <message>
        <source>変更前</source>
        <translation>Old name</translation>
    </message>
    <message>
        <source>変更後</source>
        <translation>New name</translation>
    </message>
    <message>
        <source>コメント</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>一覧から外す(&amp;D)</source>
        <translation>Remove from the &amp;List</translation>
    </message>
</context>
<context>
    <name>zorv::SingleInstance</name>
    <message>
        <source>no private folder for the hand-over to a running window (%1); this window opens on its own and takes no files of later starts</source>
        <translation>no private folder for the hand-over to a running window (%1); this window opens on its own and takes no files of later starts</translation>
    </message>
</context>
<context>
    <name>zorv::Undo</name>
    <message>
        <source>&apos;元に戻しました。&apos;</source>
        <translation>&apos;Taken back.&apos;</translation>
    </message>
    <message>
        <source>&apos;ファイルが見つかりません。&apos;</source>
        <translation>&apos;The file was not found.&apos;</translation>
    </message>
    <message>
        <source>&apos;元の名前のファイルが既にあります。&apos;</source>
        <translation>&apos;A file with the old name already exists.&apos;</translation>
    </message>
    <message>
        <source>&apos;元に戻せませんでした。&apos;</source>
        <translation>&apos;Could not take it back.&apos;</translation>
    </message>
    <message>
        <source>&apos;名前を変えたファイルとは別のファイルか、変更されたファイルです。&apos;</source>
        <translation>&apos;Another file bears the name, or the file was changed since: left as it is.&apos;</translation>
    </message>
    <message>
        <source>&apos;記録が壊れているので飛ばしました。&apos;</source>
        <translation>&apos;The journal record is damaged: skipped.&apos;</translation>
    </message>
</context>
</TS>
