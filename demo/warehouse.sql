-- The shop's two tables on the fake warehouse (SQLite underneath).
CREATE TABLE ORDERS (ORDER_ID NUMBER(38,0), CUSTOMER_ID NUMBER(38,0), ORDERED_ON DATE,
                     AMOUNT NUMBER(10,2), STATUS VARCHAR(16));
CREATE TABLE CUSTOMERS (CUSTOMER_ID NUMBER(38,0), NAME VARCHAR(200), COUNTRY VARCHAR(2));
INSERT INTO CUSTOMERS VALUES (1, 'Ada Lovelace', 'GB'), (2, 'Grace Hopper', 'US'),
                             (3, 'Emmy Noether', 'DE');
INSERT INTO ORDERS VALUES (100, 1, '2026-11-02', 120.50, 'shipped'),
                          (101, 2, '2026-11-03', 80.00, 'shipped'),
                          (102, 1, '2026-11-05', 42.25, 'returned'),
                          (103, 3, '2026-11-07', 310.00, 'shipped'),
                          (104, 2, '2026-11-09', 19.99, 'open');
