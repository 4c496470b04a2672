// SPDX-License-Identifier: GPL-3.0-or-later
#include "message_catalogue.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace terminal {
namespace {

// Each entry is an English text as the platform or the front end makes it,
// with holes: {} stands for what is shown as it is (a name, a path, a
// number, the system's own wording), {t} for a text of our own that is
// itself looked up, {n} for a name that may carry a text of ours (a path
// with where its link leads): looked up, else shown as it is, and {w} for
// one word (a computer's name). The Japanese names the holes {1}, {2}, ...
// in the English order. Entries are tried in order; the first whose holes
// all fit wins, so a narrower text comes before a wider one. A sentence of
// its own ends in 。 even where it stands within another; the doubled 。
// that this can give is made one.
struct Entry {
  const char *english;
  const char *japanese;
};

const Entry kCatalogue[] = {
    // The network file and its lock (the host layer).
    {"{t}; nothing was changed", "{1}。何も変更していません。"},
    {"{t}; nothing was added", "{1}。何も追加していません。"},
    {"{t}: {}; the network file {} was not changed", "{1}: {2}。ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {3} は変更していません。"},
    {"another process{t} holds the network file {} and is stopped (suspended, as by Ctrl+Z or a STOP signal): it "
     "lets go of the file only when it is continued (kill -CONT {}) or ended",
     "別のﾌﾟﾛｾｽ{1}がﾈｯﾄﾜｰｸ ﾌｧｲﾙ {2} を使ったまま停止しています (Ctrl+Z や STOP ｼｸﾞﾅﾙによる中断)。"
     "再開 (kill -CONT {3}) か終了するまでﾌｧｲﾙは解放されません"},
    {"another process{t} holds the network file {}; try again when it has finished",
     "別のﾌﾟﾛｾｽ{1}がﾈｯﾄﾜｰｸ ﾌｧｲﾙ {2} を使用中です。終わってからもう一度行ってください。"},
    {"another process holds the network file {}; try again when it has finished",
     "別のﾌﾟﾛｾｽがﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を使用中です。終わってからもう一度行ってください。"},
    {" ({}, process ID {})", " ({1}、ﾌﾟﾛｾｽ ID {2})"},
    {" (process ID {})", " (ﾌﾟﾛｾｽ ID {1})"},
    {"the lock file {} is a symbolic link; Velmora does not follow it",
     "ﾛｯｸ ﾌｧｲﾙ {1} はｼﾝﾎﾞﾘｯｸ ﾘﾝｸです。Velmora はﾘﾝｸをたどりません。"},
    {"you may not write the lock file {} (it belongs to user ID {}, mode {}), so Velmora cannot lock the network "
     "file to change it; nothing was changed. Its owner or the administrator may remove it while no one uses the "
     "network: Velmora makes it again with the network file's owner and mode",
     "ﾛｯｸ ﾌｧｲﾙ {1} に書き込めないため (ﾕｰｻﾞｰ ID {2} の所有、ﾓｰﾄﾞ {3})、変更のためにﾈｯﾄﾜｰｸ ﾌｧｲﾙをﾛｯｸできません。"
     "何も変更していません。ﾈｯﾄﾜｰｸを誰も使っていないときに、所有者か管理者が削除してください。"
     "Velmora がﾈｯﾄﾜｰｸ ﾌｧｲﾙと同じ所有者とﾓｰﾄﾞで作り直します。"},
    {"you may not create the lock file {} ({})", "ﾛｯｸ ﾌｧｲﾙ {1} を作成できません ({2})"},
    {"cannot open the lock file {}: {}", "ﾛｯｸ ﾌｧｲﾙ {1} を開けません: {2}"},
    {"the lock file {} is {t}", "ﾛｯｸ ﾌｧｲﾙ {1} は{2}です。"},
    {"cannot lock the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} をﾛｯｸできません: {2}"},
    {"cannot read the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を読めません: {2}"},
    {"the network file {} is {t}, not a regular file", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は{2}で、通常のﾌｧｲﾙではありません。"},
    {"the network file {} is a symbolic link to a file that does not exist",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は、存在しないﾌｧｲﾙへのｼﾝﾎﾞﾘｯｸ ﾘﾝｸです。"},
    {"cannot find the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} が見つかりません: {2}"},
    {"the network file {} has {} names (hard links); Velmora replaces the file as a whole and would leave the "
     "other names with the old network, so it changes nothing (use one name, or symbolic links)",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} には名前 (ﾊｰﾄﾞ ﾘﾝｸ) が {2} 個あります。Velmora はﾌｧｲﾙを丸ごと置き換えるため、"
     "ほかの名前に古いﾈｯﾄﾜｰｸが残ります。何も変更しません (名前を 1 つにするか、ｼﾝﾎﾞﾘｯｸ ﾘﾝｸを使ってください)。"},
    {"the network file {} is read-only (mode {})", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は読み取り専用です (ﾓｰﾄﾞ {2})"},
    {"the network file {} is on a file system mounted read-only",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} は読み取り専用でﾏｳﾝﾄされたﾌｧｲﾙ ｼｽﾃﾑにあります"},
    {"you may not write the network file {} ({})", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} に書き込めません ({2})"},
    {"the network file {} belongs to another user (ID {}), and a replacement would belong to you",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} はほかのﾕｰｻﾞｰ (ID {2}) のもので、置き換えるとあなたのものになってしまいます"},
    {"cannot examine the network file {}: {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} を調べられません: {2}"},
    {"the folder {} that holds the network file is on a file system mounted read-only",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙのあるﾌｫﾙﾀﾞ {1} は読み取り専用でﾏｳﾝﾄされたﾌｧｲﾙ ｼｽﾃﾑにあります"},
    {"you may not write the folder {} that holds the network file ({})",
     "ﾈｯﾄﾜｰｸ ﾌｧｲﾙのあるﾌｫﾙﾀﾞ {1} に書き込めません ({2})"},
    {"cannot create a temporary file in {}: {}", "{1} に一時ﾌｧｲﾙを作成できません: {2}"},
    {"cannot lock the temporary file {}", "一時ﾌｧｲﾙ {1} をﾛｯｸできません"},
    {"cannot give the new file the owner of {}", "新しいﾌｧｲﾙに {1} の所有者を設定できません"},
    {"cannot give the new file the mode of {}", "新しいﾌｧｲﾙに {1} のﾓｰﾄﾞを設定できません"},
    {"cannot write {}", "{1} に書き込めません"},
    {"cannot replace {}", "{1} を置き換えられません"},
    {"neither VELMORA_NETWORK, XDG_STATE_HOME nor HOME names where the network file is kept",
     "VELMORA_NETWORK、XDG_STATE_HOME、HOME のどれもﾈｯﾄﾜｰｸ ﾌｧｲﾙの置き場所を示していません。"},
    {"cannot create the folder {}: {}", "ﾌｫﾙﾀﾞ {1} を作成できません: {2}"},
    {"a folder", "ﾌｫﾙﾀﾞ"},
    {"a FIFO", "FIFO"},
    {"a device", "ﾃﾞﾊﾞｲｽ"},
    {"a socket", "ｿｹｯﾄ"},
    {"not a regular file", "通常のﾌｧｲﾙ以外のもの"},
    // The network file as the simulated network opens it.
    {"there is no network file {}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} がありません。"},
    {"the Schedule service of {} has given out the highest job ID there is, 4294967295, and cannot number a new "
     "job",
     "{1} のｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽは最大のｼﾞｮﾌﾞ ID 4294967295 まで使い切り、新しいｼﾞｮﾌﾞに番号を付けられません"},
    // The network file as its reader refuses it: the file, the line, then
    // the fault of the line.
    {"network file {}, as last written, {t}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1} (最後に書き込んだ内容)、{2}"},
    {"network file {}, {t}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1}、{2}"},
    {"line {}, column {}: {t}", "{1} 行 {2} 桁目: {3}"},
    {"line {}: {t}", "{1} 行目: {2}"},
    {"a NUL byte", "NUL ﾊﾞｲﾄがあります。"},
    {"byte {} is not UTF-8", "ﾊﾞｲﾄ {1} は UTF-8 ではありません。"},
    {"unknown escape \\{} in a string", "文字列に不明なｴｽｹｰﾌﾟ \\{1} があります。"},
    {"unterminated string", "文字列が閉じていません。"},
    {"a string must be separated from the word before it: {}", "文字列は前の語と離して書いてください: {1}"},
    {"a string must be followed by a blank", "文字列の後には空白が必要です。"},
    {"a statement must begin with a keyword", "文はｷｰﾜｰﾄﾞで始めてください。"},
    {"{w} belongs in scenarios, not in a network file", "{1} はｼﾅﾘｵの文で、ﾈｯﾄﾜｰｸ ﾌｧｲﾙには書けません。"},
    {"unknown statement \"{}\"", "不明な文 \"{1}\" です。"},
    {"{w} is given twice (first on line {})", "{1} が 2 回あります (最初は {2} 行目)。"},
    {"unexpected word \"{}\"", "余分な語 \"{1}\" があります。"},
    {"unknown setting {}=", "不明な設定 {1}= です。"},
    {"{}= is given twice", "{1}= が 2 回あります。"},
    {"{}= is missing; {t}", "{1}= がありません。{2}"},
    {"{}= belongs to a real computer", "{1}= は real のｺﾝﾋﾟｭｰﾀにだけ書けます。"},
    {"{}={} is not a number from 0 to {}", "{1}={2} は 0 から {3} までの数ではありません。"},
    {"{}={} is not running, stopped, paused or a status word",
     "{1}={2} は running、stopped、paused、状態語のどれでもありません。"},
    {"usage: {}", "書式: {1}"},
    {"\"{}\" is not a valid computer name", "\"{1}\" はｺﾝﾋﾟｭｰﾀ名に使えません。"},
    {"a real computer is reached or not by the network itself, not by unreachable",
     "real のｺﾝﾋﾟｭｰﾀに届くかどうかはﾈｯﾄﾜｰｸそのものが決めます。unreachable は書けません。"},
    {"timeout=0: a call needs at least one second", "timeout=0: 呼び出しには少なくとも 1 秒必要です。"},
    {"address={} is not a host name or address", "address={1} はﾎｽﾄ名でもｱﾄﾞﾚｽでもありません。"},
    {"privacy={} is not seal, sign or none", "privacy={1} は seal、sign、none のどれでもありません。"},
    {"auth={} is not auto, kerberos or ntlm", "auth={1} は auto、kerberos、ntlm のどれでもありません。"},
    {"ccache= names no ticket cache", "ccache= にﾁｹｯﾄ ｷｬｯｼｭの指定がありません。"},
    {"computer {} is described twice", "ｺﾝﾋﾟｭｰﾀ {1} が 2 回書かれています。"},
    {"no computer {} is described before this line", "この行より前にｺﾝﾋﾟｭｰﾀ {1} が書かれていません。"},
    {"give the time once, as at= or as time=; {t}", "時刻は at= か time= のどちらか 1 つで指定してください。{1}"},
    {"id=0: job IDs start at 1", "id=0: ｼﾞｮﾌﾞ ID は 1 から始まります。"},
    {"flags={}: 0x04 and 0x08 are not stored flags", "flags={1}: 0x04 と 0x08 は記録されるﾌﾗｸﾞではありません。"},
    {"at={} is not a time of day HH:MM[:SS[.mmm]]", "at={1} は時刻 HH:MM[:SS[.mmm]] ではありません。"},
    {"job {} already exists on {}", "ｼﾞｮﾌﾞ {1} は {2} にすでにあります。"},
    {"{} is not a date YYYY-MM-DD", "{1} は日付 YYYY-MM-DD ではありません。"},
    {"{} is not a time HH:MM[:SS]", "{1} は時刻 HH:MM[:SS] ではありません。"},
    // The real network: its module, the connection, the logon.
    {"real computers are reached through the velmora-realnet package, which is not installed or cannot be loaded "
     "({})",
     "real のｺﾝﾋﾟｭｰﾀには velmora-realnet ﾊﾟｯｹｰｼﾞを通してつなぎますが、このﾊﾟｯｹｰｼﾞがｲﾝｽﾄｰﾙされていないか、"
     "読み込めません ({1})。"},
    {"the real network module {} belongs to another version of Velmora; install the velmora-realnet package of this "
     "one",
     "実ﾈｯﾄﾜｰｸのﾓｼﾞｭｰﾙ {1} は別のﾊﾞｰｼﾞｮﾝの Velmora のものです。このﾊﾞｰｼﾞｮﾝの velmora-realnet ﾊﾟｯｹｰｼﾞを"
     "ｲﾝｽﾄｰﾙしてください。"},
    {"the connection was closed", "接続が閉じられました。"},
    {"no answer from the host within {} s while connecting to {t}",
     "{2}への接続中、{1} 秒以内にﾎｽﾄから応答がありません。"},
    {"no answer from the host within {} s while binding {t}", "{2}のﾊﾞｲﾝﾄﾞ中、{1} 秒以内にﾎｽﾄから応答がありません。"},
    {"no answer from the host within {} s", "{1} 秒以内にﾎｽﾄから応答がありません。"},
    {"the call timed out: no answer from the host within {} s",
     "呼び出しがﾀｲﾑｱｳﾄしました。{1} 秒以内にﾎｽﾄから応答がありません。"},
    {"the service controller (svcctl)", "ｻｰﾋﾞｽ ｺﾝﾄﾛｰﾗ (svcctl)"},
    {"the workstation service (wkssvc)", "ﾜｰｸｽﾃｰｼｮﾝ ｻｰﾋﾞｽ (wkssvc)"},
    {"the Schedule service's remote interface (ATSvc)", "ｽｹｼﾞｭｰﾙ ｻｰﾋﾞｽのﾘﾓｰﾄ ｲﾝﾀｰﾌｪｲｽ (ATSvc)"},
    {"signed", "署名付き"},
    {"sealed", "暗号化"},
    {"the host refuses password (NTLM) logons: log on with a Kerberos ticket (kinit, auth=kerberos or auto)",
     "ﾎｽﾄはﾊﾟｽﾜｰﾄﾞ (NTLM) によるﾛｸﾞｵﾝを受け付けません。Kerberos ﾁｹｯﾄでﾛｸﾞｵﾝしてください "
     "(kinit、auth=kerberos か auto)。"},
    {"the Kerberos ticket was refused: this machine's clock and the domain's differ too much ({})",
     "Kerberos ﾁｹｯﾄが拒否されました。このﾏｼﾝとﾄﾞﾒｲﾝの時計が離れすぎています ({1})。"},
    {"the host refused the Kerberos ticket ({}); a Samba server refuses it so too when this machine's clock and the "
     "domain's differ by more than 5 minutes",
     "ﾎｽﾄが Kerberos ﾁｹｯﾄを拒否しました ({1})。Samba のｻｰﾊﾞｰは、このﾏｼﾝとﾄﾞﾒｲﾝの時計が 5 分より多く"
     "ずれているときもこのように拒否します。"},
    {"no Kerberos ticket for the host: the domain's KDC cannot be reached ({})",
     "ﾎｽﾄ用の Kerberos ﾁｹｯﾄがありません。ﾄﾞﾒｲﾝの KDC に届きません ({1})。"},
    {"the host takes no Kerberos ticket ({}): it logs on with a password alone",
     "ﾎｽﾄは Kerberos ﾁｹｯﾄを受け付けません ({1})。ﾊﾟｽﾜｰﾄﾞだけでﾛｸﾞｵﾝします。"},
    {"the host refused the logon ({})", "ﾎｽﾄがﾛｸﾞｵﾝを拒否しました ({1})。"},
    {"the host does not serve {t}", "ﾎｽﾄは{1}を提供していません。"},
    {"the host refused access to a call on {t}", "ﾎｽﾄが{1}の呼び出しへのｱｸｾｽを拒否しました。"},
    {"the host refused access to {t} ({})", "ﾎｽﾄが{1}へのｱｸｾｽを拒否しました ({2})。"},
    {"the host refused a {t} bind of {t} ({}); privacy=sign or none lowers it",
     "ﾎｽﾄが{2}の{1}ﾊﾞｲﾝﾄﾞを拒否しました ({3})。privacy=sign か none で保護を下げられます。"},
    {"the host could not bind {t} ({})", "ﾎｽﾄは{1}をﾊﾞｲﾝﾄﾞできませんでした ({2})。"},
    {"the host could not open {t} ({})", "ﾎｽﾄは{1}を開けませんでした ({2})。"},
    {"cannot reach the host {}: no SMB server answers there", "ﾎｽﾄ {1} に届きません。SMB ｻｰﾊﾞｰが応答しません。"},
    {"a transport fault: the host {} answered SMB with a reply that is not SMB ({})",
     "転送の障害: ﾎｽﾄ {1} が SMB に SMB でない応答を返しました ({2})。"},
    {"cannot reach the host {} ({})", "ﾎｽﾄ {1} に届きません ({2})。"},
    {"the host's name cannot be used ({})", "ﾎｽﾄ名を使えません ({1})。"},
    {"the connection to the host was lost", "ﾎｽﾄとの接続が切れました。"},
    {"the host answered a call on {t} with fault 0x{}", "ﾎｽﾄが{1}の呼び出しに障害 0x{2} で応答しました。"},
    {"the connection to the host failed during a call on {t} ({})",
     "{1}の呼び出し中にﾎｽﾄとの接続が失敗しました ({2})。"},
    {"the password is not UTF-8 text", "ﾊﾟｽﾜｰﾄﾞが UTF-8 の文字列ではありません。"},
    {"no usable Kerberos ticket", "使える Kerberos ﾁｹｯﾄがありません。"},
    {"the host counted jobs it did not send", "ﾎｽﾄが送っていないｼﾞｮﾌﾞを数えました。"},
    {"the host answered without the job's record", "ﾎｽﾄがｼﾞｮﾌﾞのﾚｺｰﾄﾞなしで応答しました。"},
    {"the host answered without its record", "ﾎｽﾄがﾚｺｰﾄﾞなしで応答しました。"},
    {"Samba's client libraries cannot be used", "Samba のｸﾗｲｱﾝﾄ ﾗｲﾌﾞﾗﾘを使えません。"},
    // Kerberos before the password, as auth= asks.
    {"auth=kerberos needs the computer reached by its host name: a ticket names a host, not {}",
     "auth=kerberos ではｺﾝﾋﾟｭｰﾀをﾎｽﾄ名で指定してください。ﾁｹｯﾄが示すのはﾎｽﾄで、{1} ではありません。"},
    {"Kerberos cannot be used on this machine", "このﾏｼﾝでは Kerberos を使えません"},
    {"the ticket cache {} of {} holds no ticket", "ﾁｹｯﾄ ｷｬｯｼｭ {1} ({2}) にﾁｹｯﾄがありません"},
    {"the ticket cache {} of {} holds an expired ticket", "ﾁｹｯﾄ ｷｬｯｼｭ {1} ({2}) のﾁｹｯﾄは期限切れです"},
    {"the ticket cache {} of {} holds a ticket that expires within 5 minutes",
     "ﾁｹｯﾄ ｷｬｯｼｭ {1} ({2}) のﾁｹｯﾄは 5 分以内に期限が切れます"},
    {"the ticket cache {} holds no ticket", "ﾁｹｯﾄ ｷｬｯｼｭ {1} にﾁｹｯﾄがありません"},
    {"{t} (kinit renews it)", "{1} (kinit で更新できます)。"},
    {"{t} (kinit gets one)", "{1} (kinit で取得できます)。"},
    {"with the Kerberos ticket: {t}", "Kerberos ﾁｹｯﾄでは: {1}"},
    {"{t}; with the password: {t}", "{1}。ﾊﾟｽﾜｰﾄﾞでは: {2}"},
    {"the network names no credentials file", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙに資格情報ﾌｧｲﾙ (credentials) の指定がありません。"},
    {"{t}, and the network names no credentials file",
     "{1}。また、ﾈｯﾄﾜｰｸ ﾌｧｲﾙに資格情報ﾌｧｲﾙ (credentials) の指定がありません。"},
    {"{t}; not tried again, to spare the account a lockout, until the credentials file changes or the computer is "
     "selected again",
     "{1}。ｱｶｳﾝﾄがﾛｯｸｱｳﾄされないように、資格情報ﾌｧｲﾙが変わるかｺﾝﾋﾟｭｰﾀを選び直すまで再試行しません。"},
    {"the credentials file cannot be used: {t}", "資格情報ﾌｧｲﾙを使えません: {1}"},
    // The credentials file as the real network reads it.
    {"{} (a link to nothing that exists)", "{1} (存在しないものへのﾘﾝｸ)"},
    {"{} (a link to {})", "{1} ({2} へのﾘﾝｸ)"},
    {"the authentication file {n} is {t}, not a regular file: write its username= and password= lines into a "
     "regular file of yours",
     "資格情報ﾌｧｲﾙ {1} は{2}で、通常のﾌｧｲﾙではありません。username= と password= の行を自分の通常のﾌｧｲﾙに"
     "書いてください。"},
    {"the authentication file {n} belongs to another user (uid {}), which chmod cannot change: copy its lines into a "
     "file of your own and chmod 600 it",
     "資格情報ﾌｧｲﾙ {1} はほかのﾕｰｻﾞｰ (uid {2}) のもので、chmod では変えられません。その行を自分のﾌｧｲﾙに"
     "写して chmod 600 してください。"},
    {"the authentication file {n} (mode {}) may be read or written by others: chmod 600 {}",
     "資格情報ﾌｧｲﾙ {1} (ﾓｰﾄﾞ {2}) はほかのﾕｰｻﾞｰが読み書きできます。chmod 600 {3} を実行してください。"},
    {"cannot read the authentication file {}: it was replaced while being opened",
     "資格情報ﾌｧｲﾙ {1} を読めません: 開いている間に置き換えられました。"},
    {"cannot read the authentication file {n}: {}", "資格情報ﾌｧｲﾙ {1} を読めません: {2}"},
    {"cannot read the authentication file {}", "資格情報ﾌｧｲﾙ {1} を読めません。"},
    {"the authentication file {} cannot be used: {t}", "資格情報ﾌｧｲﾙ {1} は使えません: {2}"},
    {"its {t} is not UTF-8 text", "{1}が UTF-8 の文字列ではありません。"},
    {"its {t} is {} bytes long, more than the {} allowed", "{1}が {2} ﾊﾞｲﾄあり、上限の {3} ﾊﾞｲﾄを超えています。"},
    {"it names no username=", "username= の行がありません。"},
    {"user name", "ﾕｰｻﾞｰ名"},
    {"domain", "ﾄﾞﾒｲﾝ"},
    {"password", "ﾊﾟｽﾜｰﾄﾞ"},
    {"a directory", "ﾌｫﾙﾀﾞ"},
    {"a character device", "ｷｬﾗｸﾀ ﾃﾞﾊﾞｲｽ"},
    {"a block device", "ﾌﾞﾛｯｸ ﾃﾞﾊﾞｲｽ"},
    // The front end's own.
    {"the network file holds no computer", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙにｺﾝﾋﾟｭｰﾀが 1 台もありません。"},
    {"this computer ({}) is not in the network file", "このｺﾝﾋﾟｭｰﾀ ({1}) はﾈｯﾄﾜｰｸ ﾌｧｲﾙにありません。"},
    {"the terminal is too small", "端末が小さすぎます。"},
    {"Velmora needs at least {} x {} (now {} x {})", "少なくとも {1} x {2} 必要です (今 {3} x {4})。"},
    {"the help file {} cannot be found", "ﾍﾙﾌﾟ ﾌｧｲﾙ {1} が見つかりません。"},
    {"the program's resources cannot be loaded", "ﾌﾟﾛｸﾞﾗﾑのﾘｿｰｽを読み込めません。"},
    {"the terminal was closed", "端末が閉じられました。"},
    {"program fault: {}", "ﾌﾟﾛｸﾞﾗﾑの障害: {1}"},
    {"standard input and output must be a terminal", "標準入力と標準出力は端末でなければなりません。"},
    {"TERM is not set", "TERM が設定されていません。"},
    {"the terminal type '{}' is unknown", "端末の種類 '{1}' は不明です。"},
    {"unknown option '{}'", "不明なｵﾌﾟｼｮﾝ '{1}' です。"},
    // The names of the keys' actions on the bottom line.
    {"Help", "ﾍﾙﾌﾟ"},
    {"Pointer", "ﾎﾟｲﾝﾀ"},
    {"Column widths", "列幅"},
    {"Scroll sideways", "横ｽｸﾛｰﾙ"},
    {"Move", "移動"},
    {"Cancel", "ｷｬﾝｾﾙ"},
    {"Select", "選択"},
    {"Letter", "文字"},
    {"Arrows", "矢印"},
    {"Click", "ｸﾘｯｸ"},
    {"Done", "終了"},
    {"Narrower/Wider", "狭く/広く"},
    {"Next column", "次の列"},
    {"Press", "押す"},
    {"busy", "処理中"},
    {"scroll", "スクロール"},
    {"close", "閉じる"},
    // Last: a text said of one computer or one network file ("NAME: reason").
    {"network file {}: {t}", "ﾈｯﾄﾜｰｸ ﾌｧｲﾙ {1}: {2}"},
    {"{w}: {t}", "{1}: {2}"},
};

Language g_language = Language::kJapanese;

struct Piece {
  enum Kind { kLiteral, kAsIs, kTranslated, kName, kWord } kind;
  std::string text;  // kLiteral
};

std::vector<Piece> Parse(const char *pattern) {
  std::vector<Piece> pieces;
  std::string literal;
  for (const char *p = pattern; *p != '\0';) {
    Piece::Kind hole = Piece::kLiteral;
    size_t length = 0;
    if (std::strncmp(p, "{}", 2) == 0) hole = Piece::kAsIs, length = 2;
    if (std::strncmp(p, "{t}", 3) == 0) hole = Piece::kTranslated, length = 3;
    if (std::strncmp(p, "{w}", 3) == 0) hole = Piece::kWord, length = 3;
    if (std::strncmp(p, "{n}", 3) == 0) hole = Piece::kName, length = 3;
    if (hole == Piece::kLiteral) {
      literal += *p++;
      continue;
    }
    if (!literal.empty()) pieces.push_back(Piece{Piece::kLiteral, literal});
    literal.clear();
    pieces.push_back(Piece{hole, ""});
    p += length;
  }
  if (!literal.empty()) pieces.push_back(Piece{Piece::kLiteral, literal});
  return pieces;
}

// Matches text[at...] against pieces[from...], filling the holes (each one
// at least a character, the shortest first); a {t} hole must translate.
bool Match(const std::vector<Piece> &pieces, size_t from, const std::string &text, size_t at,
           std::vector<std::string> *holes) {
  if (from == pieces.size()) return at == text.size();
  const Piece &piece = pieces[from];
  if (piece.kind == Piece::kLiteral) {
    if (text.compare(at, piece.text.size(), piece.text) != 0) return false;
    return Match(pieces, from + 1, text, at + piece.text.size(), holes);
  }
  for (size_t end = at + 1; end <= text.size(); ++end) {
    std::string hole = text.substr(at, end - at);
    if (piece.kind == Piece::kWord && hole.find(' ') != std::string::npos) return false;
    if (piece.kind == Piece::kTranslated || piece.kind == Piece::kName) {
      // Only where the next literal can follow, to spare lookups.
      if (from + 1 < pieces.size() && text.compare(end, pieces[from + 1].text.size(), pieces[from + 1].text) != 0)
        continue;
      if (from + 1 == pieces.size() && end != text.size()) continue;
      std::optional<std::string> japanese = ToJapanese(hole);
      if (japanese) {
        hole = *japanese;
      } else if (piece.kind == Piece::kTranslated) {
        continue;
      }
    }
    holes->push_back(hole);
    if (Match(pieces, from + 1, text, end, holes)) return true;
    holes->pop_back();
  }
  return false;
}

std::string Fill(const char *japanese, const std::vector<std::string> &holes) {
  static const std::string kFullStop = "。";
  std::string out;
  for (const char *p = japanese; *p != '\0';) {
    if (p[0] == '{' && p[1] >= '1' && p[1] <= '9' && p[2] == '}') {
      size_t index = static_cast<size_t>(p[1] - '1');
      if (index < holes.size()) out += holes[index];
      p += 3;
    } else {
      const bool doubled = std::strncmp(p, kFullStop.c_str(), kFullStop.size()) == 0 &&
                           out.size() >= kFullStop.size() &&
                           out.compare(out.size() - kFullStop.size(), kFullStop.size(), kFullStop) == 0;
      if (doubled) {
        p += kFullStop.size();
        continue;
      }
      out += *p++;
    }
  }
  return out;
}

bool NamesJapanese(const char *locale) {
  return std::strncmp(locale, "ja", 2) == 0 || std::strcmp(locale, "C") == 0 || std::strncmp(locale, "C.", 2) == 0 ||
         std::strcmp(locale, "POSIX") == 0;
}

}  // namespace

Language LanguageOfLocale(const char *lc_all, const char *lc_messages, const char *lang) {
  for (const char *locale : {lc_all, lc_messages, lang})
    if (locale != nullptr && *locale != '\0') return NamesJapanese(locale) ? Language::kJapanese : Language::kEnglish;
  return Language::kJapanese;
}

Language LanguageFromEnvironment() {
  return LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

void SetLanguage(Language language) { g_language = language; }

Language CurrentLanguage() { return g_language; }

std::optional<std::string> ToJapanese(const std::string &english) {
  // Each entry's pieces, parsed once: the key hints are looked up at every redraw.
  static const std::vector<std::vector<Piece>> kParsed = [] {
    std::vector<std::vector<Piece>> parsed;
    for (const Entry &entry : kCatalogue) parsed.push_back(Parse(entry.english));
    return parsed;
  }();
  for (size_t i = 0; i < kParsed.size(); ++i) {
    std::vector<std::string> holes;
    if (Match(kParsed[i], 0, english, 0, &holes)) return Fill(kCatalogue[i].japanese, holes);
  }
  return std::nullopt;
}

std::string Localize(const std::string &english) {
  if (g_language == Language::kEnglish) return english;
  return ToJapanese(english).value_or(english);
}

}  // namespace terminal
