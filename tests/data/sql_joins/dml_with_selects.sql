-- feature: INSERT, CREATE ... AS, MERGE, UPDATE, DELETE, COPY and tasks with queries inside
-- default_db: WAREHOUSE
-- default_schema: PUBLIC

-- case: insert into with column list from a joined select
-- join: INNER | warehouse.raw.sales | warehouse.raw.stores
INSERT INTO warehouse.reporting.daily_sales (sale_date, store_name, total)
SELECT s.sale_date, st.name, SUM(s.amount)
FROM warehouse.raw.sales s
JOIN warehouse.raw.stores st ON st.id = s.store_id
GROUP BY 1, 2

-- case: insert overwrite with a WITH clause
-- join: LEFT OUTER | warehouse.raw.customers | warehouse.raw.payments
insert overwrite into mart.customer_ltv
with pay as (select customer_id, sum(amount) as total from raw.payments group by 1)
select c.id, pay.total from raw.customers c left join pay on pay.customer_id = c.id

-- case: create transient table as select with cluster by
-- join: LEFT OUTER | warehouse.raw.orders | warehouse.raw.customers
CREATE OR REPLACE TRANSIENT TABLE scratch.order_enriched CLUSTER BY (order_date) AS
SELECT o.*, c.segment
FROM raw.orders o
LEFT JOIN raw.customers c ON c.id = o.customer_id

-- case: create secure view with column list and comment
-- join: INNER | warehouse.app.users | warehouse.app.plans
create or replace secure view reporting.v_active_users (user_id, plan_name) comment = 'Users with a paid plan' as
select u.id, p.name from app.users u join app.plans p on p.id = u.plan_id where p.price > 0

-- case: merge from a joined subquery; the merge condition is no join
-- join: LEFT OUTER | warehouse.staging.customers | warehouse.staging.regions
MERGE INTO dim.customers t
USING (
  SELECT s.id, s.email, r.region_name
  FROM staging.customers s
  LEFT JOIN staging.regions r ON r.code = s.region_code
) src
ON t.id = src.id
WHEN MATCHED AND t.email <> src.email THEN UPDATE SET email = src.email, region = src.region_name
WHEN NOT MATCHED THEN INSERT (id, email, region) VALUES (src.id, src.email, src.region_name)

-- case: merge from a table has no join
-- joins: none
merge into inventory i using inventory_updates u on i.sku = u.sku
when matched then update set i.qty = u.qty
when not matched then insert (sku, qty) values (u.sku, u.qty)

-- case: update from a joined source
-- join: INNER | warehouse.sales.customers | warehouse.sales.tiers
UPDATE sales.orders o
SET status = 'VIP'
FROM sales.customers c
JOIN sales.tiers t ON t.id = c.tier_id
WHERE o.customer_id = c.id AND t.name = 'Gold'

-- case: delete using is no join, a subquery join is
-- join: INNER | warehouse.public.sessions | warehouse.public.devices
delete from events e using blocked_users b
where e.user_id = b.user_id
  and e.session_id in (select s.id from sessions s join devices d on d.id = s.device_id where d.is_bot)

-- case: multi-table insert
-- join: INNER | warehouse.public.orders | warehouse.public.customers
INSERT ALL
  WHEN amount > 1000 THEN INTO big_orders (id, amount) VALUES (id, amount)
  ELSE INTO small_orders
SELECT o.id, o.amount FROM orders o JOIN customers c ON c.id = o.customer_id

-- case: copy into from a stage query with options
-- joins: none
copy into raw.events (id, payload)
from (select $1:id::number, $1 from @raw.landing/events/ t)
file_format = (type = 'JSON')
on_error = 'CONTINUE'

-- case: task whose body is an insert
-- join: INNER | warehouse.public.events | warehouse.public.dim_day
create task refresh_summary warehouse = etl_wh schedule = '60 minute' as
insert into summary select d.day, count(*) from events e join dim_day d on d.day = e.day group by 1

-- case: insert overwrite table
-- join: INNER | warehouse.public.orders | warehouse.public.customers
insert overwrite table daily_orders
select o.id, c.region from orders o join customers c on c.id = o.customer_id

-- case: update with FROM before SET
-- join: LEFT OUTER | warehouse.public.orders | warehouse.public.refunds
update accounts a
from (select o.account_id, sum(r.amount) as refunded
      from orders o left join refunds r on r.order_id = o.id group by o.account_id) b
set a.refunded = b.refunded
where a.id = b.account_id
