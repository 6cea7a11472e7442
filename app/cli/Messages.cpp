#include "app/cli/Messages.h"

#include <stdarg.h>

#ifndef DROVAN_VERSION_STRING
#error "DROVAN_VERSION_STRING comes from the build (app/CMakeLists.txt)"
#endif

bool UiIsChinese() { return GetUserDefaultLangID() == 2052; }

CString Say(LPCWSTR pszEnglish, LPCWSTR pszChinese, ...) {
    CString s;
    va_list args;
    va_start(args, pszChinese);
    s.FormatV(UiIsChinese() ? pszChinese : pszEnglish, args);
    va_end(args);
    return s;
}

CString ProgramCaption() { return Say(TEXT("Printer Driver Setup"), TEXT("打印机驱动程序")); }

LPCWSTR ProgramVersion() { return TEXT(DROVAN_VERSION_STRING); }

CString ErrorText(DWORD dwError) {
    LPCWSTR pszEn = NULL;
    LPCWSTR pszCn = NULL;
    switch (dwError) {
        case ERROR_FILE_NOT_FOUND: pszEn = TEXT("file not found"); pszCn = TEXT("找不到文件"); break;
        case ERROR_PATH_NOT_FOUND: pszEn = TEXT("path not found"); pszCn = TEXT("找不到路径"); break;
        case ERROR_ACCESS_DENIED: pszEn = TEXT("access denied"); pszCn = TEXT("拒绝访问"); break;
        case ERROR_SHARING_VIOLATION: pszEn = TEXT("in use by another program"); pszCn = TEXT("正被其他程序使用"); break;
        case ERROR_INVALID_NAME: pszEn = TEXT("not a valid file name"); pszCn = TEXT("文件名无效"); break;
        default: break;
    }
    if (pszEn == NULL) return Say(TEXT("Windows error %u"), TEXT("Windows 错误 %u"), static_cast<unsigned>(dwError));
    return Say(TEXT("Windows error %u (%s)"), TEXT("Windows 错误 %u（%s）"), static_cast<unsigned>(dwError),
               UiIsChinese() ? pszCn : pszEn);
}

CString UsageText() {
    if (UiIsChinese()) {
        return CString(TEXT("Drovan 打印机驱动程序安装 ")) + ProgramVersion() + TEXT(R"(

用法：
  drovan.exe                                  打开安装向导
  drovan.exe /quiet /model:型号 [/port:端口] [/serial:波特率,校验,数据位,停止位,流控制]
             [/default] [/replace] [/log:文件] [/whatif]
                                              无人值守安装
  drovan.exe /quiet /loadinf:文件 [其他开关]  按选择文件安装
  drovan.exe /saveinf:文件 [/log:文件]        打开安装向导，开始安装时把所作的选择保存到文件

开关：
  /quiet          不显示任何窗口和消息框，所有问题按开关回答
  /model:型号     QB410、QD530、KELV MR5A 或 KELV MR6A（也可写打印机名，如 "QB410 Printer"），不区分大小写
  /port:端口      本机的打印机端口，如 COM1:、LPT1:；USB 或不给：使用已连接的 USB 打印机
  /serial:设置    COM 端口的设置，格式同注册表：9600,n,8,1,p
                  波特率 1200、2400、4800、9600、19200、38400、115200；校验 e、o、n；
                  数据位 5 至 8；停止位 1、1.5、2；流控制 x（Xon/Xoff）、p（硬件）或留空（无）
  /default        把新打印机设为默认打印机
  /replace        先删除本机已安装的该型号打印机及其驱动程序
  /log:文件       把诊断日志写入文件（UTF-8）
  /whatif         只列出将要执行的操作，不作任何更改
  /saveinf:文件   与安装向导一起使用：开始安装时保存所作的选择
  /loadinf:文件   读取选择文件，如同其中的选择是开关；命令行上的开关优先
  /?              显示本说明

退出代码：
  0  安装成功（/whatif：将会安装）
  1  安装失败
  2  命令行（或选择文件）有误，未作任何更改
  3  本机已安装该型号的打印机且未给 /replace，未作任何更改
  4  找不到端口：端口不存在、未连接 USB 打印机，或已连接 USB 打印机却指定了其他端口；未作任何更改
  5  已安装的打印机或驱动程序未能全部删除，未安装
  6  无法进行安装（例如缺少许可协议文件），未安装

示例：
  drovan.exe /quiet /model:QB410 /port:COM1: /serial:115200,n,8,1,p /default /log:C:\Logs\drovan.log
  drovan.exe /quiet /model:"KELV MR5A" /port:USB /replace
)");
    }
    return CString(TEXT("Drovan Printer Driver Setup ")) + ProgramVersion() + TEXT(R"(

Usage:
  drovan.exe                                  the installation wizard
  drovan.exe /quiet /model:NAME [/port:PORT] [/serial:BAUD,PARITY,DATA,STOP,FLOW]
             [/default] [/replace] [/log:FILE] [/whatif]
                                              an unattended installation
  drovan.exe /quiet /loadinf:FILE [switches]  the installation a choices file describes
  drovan.exe /saveinf:FILE [/log:FILE]        the wizard, saving its choices when it installs

Switches:
  /quiet          no window and no message box; the switches answer every question
  /model:NAME     QB410, QD530, KELV MR5A or KELV MR6A (or the printer name, "QB410 Printer"),
                  in any letter case
  /port:PORT      a printer port of this computer, such as COM1: or LPT1:; USB, or no /port:
                  the USB printer attached to it
  /serial:VALUE   a COM port's settings in the registry's form, such as 9600,n,8,1,p:
                  baud 1200, 2400, 4800, 9600, 19200, 38400 or 115200; parity e, o or n;
                  data bits 5 to 8; stop bits 1, 1.5 or 2; flow control x (Xon/Xoff),
                  p (hardware) or nothing (none)
  /default        make the new printer the default printer
  /replace        first delete the printers of the model installed already, and their driver
  /log:FILE       write the diagnostic log to FILE (UTF-8)
  /whatif         only list what would be done; change nothing
  /saveinf:FILE   with the wizard: save the choices made to FILE when the installation starts
  /loadinf:FILE   read the choices of such a file as if they were switches; switches given
                  on the command line win
  /?              this text

Exit codes:
  0  installed (/whatif: would install)
  1  the installation failed
  2  the command line (or the choices file) is wrong; nothing was changed
  3  printers of the model are installed and /replace was not given; nothing was changed
  4  the port is not there: no such port, no USB printer attached, or a USB printer attached
     while another port is named; nothing was changed
  5  the installed printers or their driver could not all be deleted; nothing was installed
  6  the installation could not be run (its licence text is missing, for example); nothing
     was installed

Examples:
  drovan.exe /quiet /model:QB410 /port:COM1: /serial:115200,n,8,1,p /default /log:C:\Logs\drovan.log
  drovan.exe /quiet /model:"KELV MR5A" /port:USB /replace
)");
}
