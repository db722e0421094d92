#!/usr/bin/python3
"""The online registration page in a real browser at phone size.

Starts brenvo-web on a newly made zhao.dat, drives Chromium through
the page as an applicant does and checks what the database and the photo
folder hold afterwards. Exits 77 (skipped) when no browser is installed.
"""
import argparse
import os
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select
except ImportError:
    print("selenium is not installed: skipped")
    sys.exit(77)

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"

# The applicant the form is filled with. The unit tests show that the page
# stores these values as the add page stores them.
APPLICANT = {"xm": "李华", "nl": "17", "zj": "110101200901011234", "lx1": "13912345678", "lx2": "南京路 8 号",
             "kz2": "第一中学", "jj": "喜欢读书\n也喜欢跑步"}
EXPECTED_ROW = {"xm": "李华", "xb": 2, "nl": 17, "mz": "汉族", "zj": "110101200901011234", "lx1": "13912345678",
                "lx2": "南京路 8 号", "kz1": "高中", "kz2": "第一中学", "kz3": "^音乐^^计算机^",
                "jj": "喜欢读书\n也喜欢跑步", "bm1": 1, "bm1server": 30, "bm2": 0, "bm2server": 0,
                "sh": 0, "fk": 0, "ly": 1, "status": 1}

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def prepare(folder, make_zhao):
    subprocess.run([make_zhao, os.path.join(folder, "zhao.dat")], check=True)
    os.makedirs(os.path.join(folder, "photo"), exist_ok=True)
    db = sqlite3.connect(os.path.join(folder, "zhao.dat"))
    db.execute("UPDATE xx SET mc='示例职业培训学校', pho=1")
    for row in [(30, "计算机应用", 1200, 1), (70, "会计", 900, 2)]:
        db.execute("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                   "values (?,0,?,?,30,0,'1899-12-30 00:00:00','','',?,1,0)", row)
    db.commit()
    db.close()
    with open(os.path.join(folder, "duzarizered.ini"), "w", encoding="gbk") as ini:
        ini.write("[web]\r\nlimit=10\r\n")


def row_of(folder, number):
    db = sqlite3.connect(os.path.join(folder, "zhao.dat"))
    db.row_factory = sqlite3.Row
    row = db.execute("select * from bmb where id=?", (number,)).fetchone()
    photo = db.execute("select filename from fj where id=?", (row["imgid"],)).fetchone() if row else None
    count = db.execute("select count(*) from bmb").fetchone()[0]
    db.close()
    return row, photo[0] if photo else None, count


def fill(driver, base, values, photo=None, gender="女"):
    driver.get(base + "/")
    for name, value in values.items():
        box = driver.find_element(By.ID, "f-" + name)
        box.clear()
        box.send_keys(value)
    driver.find_element(By.XPATH, "//label[@for][normalize-space()='%s']" % gender).click()
    Select(driver.find_element(By.ID, "f-bm1")).select_by_visible_text("计算机应用（学费 1200 元）")
    Select(driver.find_element(By.ID, "f-kz1")).select_by_visible_text("高中")
    for option in ("音乐", "计算机"):
        driver.find_element(By.XPATH, "//label[@for][normalize-space()='%s']" % option).click()
    if photo:
        driver.find_element(By.ID, "f-photo").send_keys(photo)


def submit(driver):
    driver.find_element(By.CSS_SELECTOR, "button[type=submit]").click()
    time.sleep(0.2)
    return driver.find_element(By.TAG_NAME, "body").text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    parser.add_argument("--make-zhao", required=True, help="the tool that makes a new zhao.dat")
    arguments = parser.parse_args()
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        print("chromium or chromedriver is not installed: skipped")
        return 77
    shots = os.environ.get("BRENVO_SCREENSHOTS")
    folder = tempfile.mkdtemp(prefix="brenvo-web-")
    prepare(folder, arguments.make_zhao)
    port = free_port()
    base = "http://127.0.0.1:%d" % port
    server = subprocess.Popen([arguments.web, "--data", folder, "--listen", "127.0.0.1:%d" % port],
                              stderr=subprocess.PIPE, text=True)
    if "serving" not in server.stderr.readline():
        print("brenvo-web did not start")
        return 1
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=390,844", "--lang=zh-CN"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    driver.set_window_size(390, 844)
    try:
        run(driver, base, folder, shots)
    finally:
        driver.quit()
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)
    print("%d failed" % len(failures) if failures else "all passed")
    return 1 if failures else 0


def run(driver, base, folder, shots):
    photo = os.path.join(folder, "applicant.png")
    subprocess.run(["convert", "-size", "300x400", "gradient:#4a90d9-#f5f5f5", photo], check=True)

    # A required item left empty: the add page's text beside it, the rest kept.
    fill(driver, base, dict(APPLICANT, xm=""))
    text = submit(driver)
    problem = driver.find_elements(By.ID, "e-xm")
    check(bool(problem) and problem[0].text == "姓名没有填写", "an empty name is reported beside the field")
    check(driver.find_element(By.ID, "f-lx1").get_attribute("value") == APPLICANT["lx1"], "the other entries are kept")
    if shots:
        driver.save_screenshot(os.path.join(shots, "web_form_problem.png"))

    # The whole form with a photo.
    fill(driver, base, APPLICANT, photo)
    if shots:
        driver.save_screenshot(os.path.join(shots, "web_form.png"))
    text = submit(driver)
    number_text = driver.find_element(By.CSS_SELECTOR, ".number strong").text if "报名号" in text else ""
    check(number_text.isdigit(), "the receipt shows the registration number")
    number = int(number_text or 0)
    row, stored_photo, count = row_of(folder, number)
    check(row is not None and all(row[k] == v for k, v in EXPECTED_ROW.items()),
          "the stored row holds the values entered: %s" % (
              {k: row[k] for k in EXPECTED_ROW if row[k] != EXPECTED_ROW[k]} if row else "no row"))
    photo_path = os.path.join(folder, "photo", (stored_photo or "").replace("\\", "/"))
    check(stored_photo is not None and open(photo_path, "rb").read(2) == b"\xff\xd8",
          "the photo is in photo/ as a JPEG")
    qr = os.path.join(folder, "qr.png")
    driver.find_element(By.CSS_SELECTOR, "figure.qr").screenshot(qr)
    decoded = subprocess.run(["zbarimg", "--quiet", "--raw", qr], capture_output=True, text=True).stdout.strip()
    check(decoded == str(number), "the QR code decodes to the number (%s)" % decoded)
    if shots:
        driver.save_screenshot(os.path.join(shots, "web_receipt.png"))

    # The same 证件号码 again: nothing stored, and no number told.
    fill(driver, base, APPLICANT)
    text = submit(driver)
    check("已有相同信息的报名" in text and "报名号" not in text and row_of(folder, number)[2] == count,
          "a second send with the same 证件号码 is refused without the existing number")

    # Script typed into the name stays text.
    fill(driver, base, dict(APPLICANT, xm="<script>document.title='hacked'</script>小明", zj="320101200901011111",
                            lx1="13700000000"))
    text = submit(driver)
    check("<script>document.title='hacked'</script>小明" in text and driver.title != "hacked",
          "script in the name is shown as text on the receipt")

    # A form without its token is refused.
    fill(driver, base, dict(APPLICANT, zj="320101200901012222", lx1="13700000001"))
    driver.execute_script("document.querySelector('input[name=csrf]').remove()")
    text = submit(driver)
    check("页面已过期" in text, "a form without its token is refused")

    # An 8 MB upload is refused at its headers.
    big = os.path.join(folder, "big.jpg")
    with open(big, "wb") as f:
        f.write(b"\xff\xd8" + os.urandom(8 * 1024 * 1024))
    fill(driver, base, dict(APPLICANT, zj="320101200901013333", lx1="13700000002"), big)
    text = submit(driver)
    check("提交的内容过大" in text, "an 8 MB upload is refused")

    # Every send with a token counts, refused and repeated ones too: after
    # four, sends 5 to 10 from this address are stored, the eleventh is not.
    before = row_of(folder, 0)[2]
    for n in range(5, 11):
        fill(driver, base, dict(APPLICANT, zj="33010120090101%04d" % n, lx1="1360000%04d" % n))
        submit(driver)
    fill(driver, base, dict(APPLICANT, zj="330101200901019999", lx1="13600009999"))
    text = submit(driver)
    check("提交过于频繁" in text and row_of(folder, 0)[2] == before + 6, "the eleventh send from one address is refused")

    # The status page answers the number with the phone number.
    driver.get(base + "/status")
    driver.find_element(By.ID, "f-number").send_keys(str(number))
    driver.find_element(By.ID, "f-proof").send_keys(APPLICANT["lx1"])
    text = submit(driver)
    check("待审核" in text and "待缴费" in text, "the status page shows the states")
    if shots:
        driver.save_screenshot(os.path.join(shots, "web_status.png"))


if __name__ == "__main__":
    sys.exit(main())
