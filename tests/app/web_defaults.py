"""Set a printer's defaults through the printer application's web page in a
real browser (headless Chromium): darkness and one vendor attribute; then
print the printer's test page from its page.

    web_defaults.py PRINTER-PAGE-URL DARKNESS-PERCENT HEAD-PRESSURE
"""
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait


def main():
    url, darkness, pressure = sys.argv[1:4]
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                "--window-size=1280,2400"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_page_load_timeout(30)
        driver.get(url + "/printing")
        Select(driver.find_element(By.NAME, "print-darkness")).select_by_value(darkness)
        Select(driver.find_element(By.NAME, "print-head-pressure")).select_by_value(pressure)
        save = driver.find_element(By.CSS_SELECTOR, "input[type=submit]")
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", save)
        save.click()
        # The form is posted and the page comes back with the saved values.
        WebDriverWait(driver, 30).until(expected_conditions.staleness_of(save))
        shown = Select(driver.find_element(By.NAME, "print-head-pressure"))
        if shown.first_selected_option.get_attribute("value") != pressure:
            sys.exit("the page shows another print head pressure after saving")
        driver.get(url)
        test_page = driver.find_element(By.CSS_SELECTOR, "input[value='Print Test Page']")
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", test_page)
        test_page.click()
        WebDriverWait(driver, 30).until(expected_conditions.staleness_of(test_page))
    finally:
        driver.quit()


if __name__ == "__main__":
    main()
