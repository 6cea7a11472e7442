#!/usr/bin/env python3
"""Writes the licence texts the wizard shows, as the program reads them: UTF-16
little-endian with a byte-order mark, Windows line ends. Edit the texts here."""

EN = """Drovan Setup - Software Licence Agreement

Please read this agreement carefully before you install the printer driver.

1. Licence. Drovan grants you the right to install and use this printer driver and
its setup program on any number of computers that you own or control, for use with
printers of the Drovan family.

2. Restrictions. You may not sell, rent or lend the driver, nor distribute modified
copies of it. You may copy it for backup and for installation on your own computers.

3. Ownership. The driver and its documentation remain the property of Drovan. This
agreement grants you no rights in Drovan's names or trademarks.

4. No warranty. The software is provided "as is". Drovan does not promise that it is
free of errors or that it will work without interruption, and gives no warranty of
fitness for a particular purpose.

5. Limitation of liability. Drovan is not liable for lost data, lost profits or any
indirect damage arising from the use of the software, as far as the law allows.

6. Termination. This licence ends if you break its terms. You must then remove every
copy of the software.

By ticking "I agree" and pressing Next you accept this agreement.
"""

CN = """Drovan 打印机驱动程序安装 - 软件许可协议

安装打印机驱动程序之前，请仔细阅读本协议。

一、许可。Drovan 授予您在您拥有或管理的任意数量的计算机上安装和使用本打印机驱动程序及其安装程序的权利，供 Drovan 系列打印机使用。

二、限制。您不得出售、出租或出借本驱动程序，也不得分发经修改的副本。您可以为备份以及在您自己的计算机上安装而复制本软件。

三、所有权。本驱动程序及其文档的所有权归 Drovan 所有。本协议不授予您使用 Drovan 名称或商标的任何权利。

四、不提供担保。本软件按"现状"提供。Drovan 不保证其没有错误或不间断运行，也不提供适用于特定用途的任何担保。

五、责任限制。在法律允许的范围内，Drovan 不对因使用本软件而造成的数据丢失、利润损失或任何间接损失承担责任。

六、终止。如您违反本协议条款，本许可即告终止，您必须删除本软件的全部副本。

勾选"接受许可协议条款"并单击"下一步"，即表示您接受本协议。
"""

for name, text in (("ReadMe_en.txt", EN), ("ReadMe_cn.txt", CN)):
    with open(name, "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))
